#include "scan/Scan.h"

#include <cmath>

#include "app/SizeText.h"
#include "scan/Masks.h"

namespace kelmora {
namespace {

// "." and "..": one or two dots and nothing else.
bool isDotEntry(NativeStringView name) {
    return !name.empty() && name.size() <= 2 &&
           name.find_first_not_of(NativeChar('.')) == NativeStringView::npos;
}

}  // namespace

Scan::Scan(MainState& state, MainView& view, platform::FileSystem& fs, NativeString root,
           std::function<void()> handlePendingEvents)
    : state_(state),
      view_(view),
      fs_(fs),
      root_(std::move(root)),
      handlePendingEvents_(std::move(handlePendingEvents)) {}

void Scan::click() {
    if (state_.Idle != 0)
        start();
    else
        stop();
}

void Scan::start() {
    state_.Results.clear();
    view_.clearRows();
    state_.Idle = 0;
    view_.setCaption(Control::cmdScan, scanCaption(state_.Lang, state_.Idle));
    view_.setScanPicture(ScanPicture::Stop);
    state_.FoundBytes = 0;
    if (!state_.Folders) state_.Folders = std::make_unique<Stack>();
    state_.Folders->Init();
    state_.Spill.clear();
    (void)state_.Folders->Push(root_);
    view_.setListControlsEnabled(false);
    view_.setWillText(sizeText(0));
    view_.setFreedText(sizeText(0));
    masks_ = MaskSet(state_.Masks);
    fs_.beginScan();

    // The end test follows each pass, so the root is always scanned. The stack is read afresh
    // after every pause: a nested stop or restart changes it under this loop.
    do {
        pass();
        handlePendingEvents_();
        const double width =
            std::floor(state_.Folders->getLevel() * double(kGaugeFrameWidth - 20) / 300.0);
        state_.GaugeWidth = static_cast<std::int16_t>(width);
        view_.setGaugeWidth(state_.GaugeWidth);
    } while (!state_.Folders->isEmpty());
    returnToIdle();
}

void Scan::pass() {
    Stack& folders = *state_.Folders;
    state_.CurrentFolder = folders.Top().value_or(NativeString{});
    state_.CurrentFolder.push_back(kSeparator);
    const NativeString& folder = state_.CurrentFolder;
    view_.setPathLine(folder);

    entries_.clear();
    fs_.list(folder, entries_);  // a failed listing yields what was read: nothing more to do

    // Which masks each file matches, worked out once per name; then the rows go out mask by mask
    // in table order, and in listing order within a mask.
    matches_.assign(entries_.size(), 0);
    std::uint16_t any = 0;
    for (std::size_t k = 0; k < entries_.size(); ++k)
        if (entries_[k].type == platform::EntryType::File)
            any =
                static_cast<std::uint16_t>(any | (matches_[k] = masks_.matching(entries_[k].name)));

    NativeString path;
    for (std::size_t m = 0; any != 0 && m < state_.Masks.size(); ++m) {
        const auto bit = static_cast<std::uint16_t>(1u << m);
        if ((any & bit) == 0) continue;
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            if ((matches_[k] & bit) == 0) continue;
            const auto& entry = entries_[k];
            state_.EntryName = entry.name;
            path.assign(folder).append(entry.name);
            if (fs_.isProtected(path)) continue;  // installed software's own file: not a leftover
            const auto size = fs_.fileSize(path);
            if (!size) continue;  // gone since the listing: nothing to offer
            state_.Results.append({{path, {}, {}}, *size});
            view_.appendRow(path);
            state_.FoundBytes += *size;
            view_.setFreedText(sizeText(state_.FoundBytes));
        }
    }

    folders.Pop();
    for (const auto& entry : entries_) {
        if (entry.type != platform::EntryType::Folder || entry.system || isDotEntry(entry.name))
            continue;
        path.assign(folder).append(entry.name);
        if (!folders.Push(path)) state_.Spill.push_back(path);
    }
    // The folder's listing has ended: no name of it is left over.
    state_.EntryName.clear();
    if (folders.isEmpty()) refillFromSpill();
}

void Scan::refillFromSpill() {
    Stack& folders = *state_.Folders;
    while (!state_.Spill.empty() && folders.Push(state_.Spill.front())) state_.Spill.pop_front();
}

void Scan::stop() {
    if (state_.Folders) state_.Folders->Init();
    state_.Spill.clear();
    returnToIdle();
}

void Scan::returnToIdle() {
    state_.Idle = 1;
    view_.setListControlsEnabled(true);
    view_.setCaption(Control::cmdScan, scanCaption(state_.Lang, state_.Idle));
    view_.setScanPicture(ScanPicture::Go);
}

}  // namespace kelmora
