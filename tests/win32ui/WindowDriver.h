// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kelmora::test {

// Drives the program's windows through their controls, as a user or a screen reader would: finds
// them by class and window text, clicks them with the messages a click sends, reads what they
// show. Everything runs on the test's thread, which owns the windows.

// The child of `parent` of window class `windowClass` ("Button", "Static", ...) whose window text
// is exactly `text`; null when there is none.
HWND findChild(HWND parent, const wchar_t* windowClass, const std::wstring& text);
// The text the window shows.
std::wstring textOf(HWND window);
// Clicks a button (BM_CLICK): returns when its handler has returned.
void click(HWND button);
// Clicks row `row` of a list box with the left mouse button, scrolling it into view first.
void clickRow(HWND list, int row);
// The rows of a list box, and the numbers of its selected rows in ascending order.
std::vector<std::wstring> rowsOf(HWND list);
std::vector<int> selectedRowsOf(HWND list);

// Handles every message waiting in this thread's queue, as the program's own loop would.
void handlePendingMessages();

// The tooltip control owned by `owner`, or null.
HWND tooltipOf(HWND owner);
// The text the tooltip shows for its tool `tool` of window `toolOwner`.
std::wstring tooltipText(HWND tooltip, HWND toolOwner, UINT_PTR tool);

// Runs `action` the next time a message loop of this thread handles its messages: the program's
// own, a modal dialog's or the scan's pause once per folder.
void postAction(std::function<void()> action);

// Answers the next modal dialog of this thread whose title is `title`, from inside its modal loop:
// a thread timer looks for it every few milliseconds and, once it is shown, runs `answer` on it
// once; `answer` must close it. A dialog that does not come within five seconds fails the test,
// and then every dialog of the thread is closed, so that no test hangs on one.
class ModalAnswerer {
  public:
    ModalAnswerer(std::wstring title, std::function<void(HWND dialog)> answer);
    ~ModalAnswerer();
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    bool answered() const { return answered_; }

  private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR timer, DWORD);

    std::wstring title_;
    std::function<void(HWND)> answer_;
    UINT_PTR timer_ = 0;
    int ticks_ = 0;
    bool answered_ = false;
};

}  // namespace kelmora::test
