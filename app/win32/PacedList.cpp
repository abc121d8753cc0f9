// SPDX-License-Identifier: MIT
#include "app/win32/PacedList.h"

#include <algorithm>

namespace kelmora::win32ui {

template <typename Change>
void PacedList::withoutRedraw(Change change) {
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    change();
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

void PacedList::append(const NativeString& path) { appended_.push_back(path); }

void PacedList::removeRow(std::size_t row) {
    // Rows the list box shows come first, then the ones waiting to join it.
    const std::size_t staying = shownCount() - removed_.size();
    if (row < staying)
        removed_.push_back(row);
    else
        appended_.erase(appended_.begin() + static_cast<std::ptrdiff_t>(row - staying));
}

void PacedList::clear() {
    appended_.clear();
    removed_.clear();
    withoutRedraw([this] { SendMessageW(list_, LB_RESETCONTENT, 0, 0); });
}

std::size_t PacedList::shownCount() const {
    const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::optional<std::size_t> PacedList::firstChangedRow() const {
    if (!hasPending()) return std::nullopt;
    // Each removal is numbered after the ones before it, which leave the rows before them where
    // they are: the smallest number is the first row that moves. New rows join after all others.
    std::size_t first = shownCount();
    for (const std::size_t row : removed_) first = std::min(first, row);
    return first;
}

void PacedList::showPending() {
    if (!hasPending()) return;
    withoutRedraw([this] {
        for (const std::size_t row : removed_)
            SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
        if (!appended_.empty()) {
            // Room for the new rows at once, rather than a little more with every row.
            std::size_t characters = 0;
            for (const NativeString& path : appended_) characters += path.size() + 1;
            SendMessageW(list_, LB_INITSTORAGE, static_cast<WPARAM>(appended_.size()),
                         static_cast<LPARAM>(characters * sizeof(wchar_t)));
            for (const NativeString& path : appended_)
                SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
        }
    });
    appended_.clear();
    removed_.clear();
}

}  // namespace kelmora::win32ui
