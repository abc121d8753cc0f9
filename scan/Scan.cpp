// SPDX-License-Identifier: MIT
#include "scan/Scan.h"

#include <cmath>
#include <limits>

#include "scan/Masks.h"
#include "window/SizeText.h"

namespace kelmora {
namespace {

// "." and "..": one or two dots and nothing else.
bool isDotEntry(NativeStringView name) {
    return !name.empty() && name.size() <= 2 &&
           name.find_first_not_of(NativeChar('.')) == NativeStringView::npos;
}

// Adds a file's size to the found total, which stays at the 64-bit maximum once it gets there.
std::int64_t addSaturating(std::int64_t total, std::int64_t size) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    if (size <= 0) return total;
    return total > kMax - size ? kMax : total + size;
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
    counted_.clear();
    if (!state_.Folders) state_.Folders = std::make_unique<Stack>();
    state_.CurrentFolder = {};
    state_.Folders->Init();
    state_.Spill.clear();
    (void)push(root_, std::nullopt);
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

bool Scan::push(NativeStringView path, const std::optional<platform::FileIdentity>& id) {
    Stack& folders = *state_.Folders;
    const std::int16_t level = folders.getLevel();
    if (!folders.Push(path)) return false;
    expected_[static_cast<std::size_t>(level)] = id;
    return true;
}

bool Scan::pushChild(NativeStringView name, const platform::FileIdentity& id) {
    Stack& folders = *state_.Folders;
    const std::int16_t level = folders.getLevel();
    if (!folders.PushChild(name)) return false;
    expected_[static_cast<std::size_t>(level)] = id;
    return true;
}

void Scan::pass() {
    Stack& folders = *state_.Folders;
    const std::int16_t level = folders.getLevel();
    const auto expected = level > 0 ? expected_[static_cast<std::size_t>(level - 1)] : std::nullopt;
    // The stack keeps the folder's text from one pass to the next, changing only the parts that
    // differ: a chain of folders costs each name once, not its whole path at every level.
    std::size_t unchanged = 0;
    const NativeString& folder = folders.TopPath(unchanged);
    state_.CurrentFolder = folder;
    view_.setPathLine(folder);

    entries_.clear();
    // A folder that is refused or fails yields what was read of it: nothing more to do.
    const auto folderId = fs_.list(folder, expected, entries_, unchanged);

    // Which masks each file matches, worked out once per name; then the rows go out mask by mask
    // in table order, and in listing order within a mask.
    matches_.assign(entries_.size(), 0);
    std::uint16_t any = 0;
    for (std::size_t k = 0; k < entries_.size(); ++k)
        if (entries_[k].type == platform::EntryType::File)
            any =
                static_cast<std::uint16_t>(any | (matches_[k] = masks_.matching(entries_[k].name)));

    std::optional<ResultList::Folder> rowsFolder;  // made with the folder's first row
    for (std::size_t m = 0; folderId && any != 0 && m < state_.Masks.size(); ++m) {
        const auto bit = static_cast<std::uint16_t>(1u << m);
        if ((any & bit) == 0) continue;
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            if ((matches_[k] & bit) == 0) continue;
            const auto& entry = entries_[k];
            state_.EntryName = entry.name;
            const auto details = fs_.fileDetails(entry);
            if (!details) continue;  // gone since the listing: nothing to offer
            path_.assign(folder).append(entry.name);
            // Installed software's own file: not a leftover.
            if (fs_.isProtected(path_, details->id)) continue;
            if (!rowsFolder) rowsFolder = state_.Results.addFolder(folder, *folderId);
            state_.Results.append(*rowsFolder, entry.name, details->id, details->size,
                                  details->links != 1);
            // A file of several names frees its size once, whichever of its names go.
            const ResultRow& row = state_.Results[state_.Results.size() - 1];
            state_.FoundBytes = addSaturating(state_.FoundBytes, counted_.sizeToAdd(row));
            view_.appendRow(state_.Results);
            view_.setFreedText(sizeText(state_.FoundBytes));
        }
    }

    folders.Pop();
    for (const auto& entry : entries_) {
        if (entry.type != platform::EntryType::Folder || entry.system || isDotEntry(entry.name))
            continue;
        if (!pushChild(entry.name, entry.id)) state_.Spill.add(folder, entry.name, entry.id);
    }
    // The folder's listing has ended: no name of it is left over.
    state_.EntryName.clear();
    if (folders.isEmpty() && !state_.Spill.empty()) {
        state_.CurrentFolder = {};  // the stack's text changes as the waiting folders come back
        refillFromSpill();
    }
}

void Scan::refillFromSpill() {
    while (!state_.Spill.empty()) {
        const auto id = state_.Spill.front(spilled_);
        if (!push(spilled_, id)) break;
        state_.Spill.pop();
    }
}

void Scan::stop() {
    state_.CurrentFolder = {};  // it views the stack's text, which goes now
    if (state_.Folders) state_.Folders->Init();
    state_.Spill.clear();
    returnToIdle();
}

void Scan::returnToIdle() {
    fs_.endScan();
    state_.Idle = 1;
    view_.setListControlsEnabled(true);
    view_.setCaption(Control::cmdScan, scanCaption(state_.Lang, state_.Idle));
    view_.setScanPicture(ScanPicture::Go);
}

}  // namespace kelmora
