// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/NativeString.h"

namespace kelmora::win32ui {

// The result list box, with its changes held back so that a scan or a removal that changes
// thousands of rows costs the list one repaint per screen frame instead of one per row: append()
// and removeRow() only record what to do, and the list box keeps showing its rows as last shown
// until showPending() applies every waiting change in one pass with the list's redrawing off
// (WM_SETREDRAW), the removals first, each as one LB_DELETESTRING that keeps the other rows'
// selection, then the new rows together, and repaints the list once. clear() takes effect at once
// and drops whatever was waiting.
class PacedList {
  public:
    explicit PacedList(HWND list) : list_(list) {}

    // Adds a row at the end, after every row already added.
    void append(const NativeString& path);
    // Removes row `row`, numbered as if every change asked for so far had been applied; the rows
    // after it move up by one. The row must exist.
    void removeRow(std::size_t row);
    void clear();

    // True while changes wait for showPending().
    bool hasPending() const { return !appended_.empty() || !removed_.empty(); }
    void showPending();
    // The rows the list box shows now.
    std::size_t shownCount() const;
    // The first row, as the list box shows it now, that a waiting change moves or takes out (new
    // rows join after the last); nothing when no change waits.
    std::optional<std::size_t> firstChangedRow() const;

  private:
    // Runs `change` on the list box with its redrawing off, then repaints it once.
    template <typename Change>
    void withoutRedraw(Change change);

    HWND list_;
    std::vector<NativeString> appended_;  // rows to add at the end
    std::vector<std::size_t> removed_;    // rows to remove, in the order asked
};

}  // namespace kelmora::win32ui
