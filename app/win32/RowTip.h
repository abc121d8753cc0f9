// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kelmora::win32ui {

// A tooltip over a list box that shows the whole text of the row under the mouse, so that a path
// too long for the list can still be read: the rows are cut off at the list's right edge. The tip
// wraps at the list's width. Its text follows the mouse from row to row, and is emptied (the tip
// hidden) when the rows change or the mouse leaves the rows.
//
// The tooltip is a system tooltip control (tooltips_class32) owned by the list's top-level
// window, with the list as its one tool. The list's window procedure hands it every message the
// list receives (listMessage). Create it once the list box exists.
class RowTip {
  public:
    explicit RowTip(HWND list);
    RowTip(const RowTip&) = delete;
    RowTip& operator=(const RowTip&) = delete;
    ~RowTip();

    HWND tooltip() const { return tooltip_; }
    // Called by the list's window procedure with each message the list receives, before the list
    // box handles it: the mouse's moves go on to the tooltip, and the rows' changes empty it.
    void listMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void show(int row);

    HWND list_;
    HWND tooltip_;
    int row_ = -1;  // the row whose text the tip holds; -1 for none
};

}  // namespace kelmora::win32ui
