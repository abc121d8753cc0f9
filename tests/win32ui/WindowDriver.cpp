// SPDX-License-Identifier: MIT
#include "tests/win32ui/WindowDriver.h"

#include <windows.h>  // first: commctrl.h builds on it

#include <commctrl.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "app/win32/WideText.h"

namespace kelmora::test {
namespace {

struct Search {
    const wchar_t* windowClass;
    const std::wstring* text;
    HWND parent;
    HWND found;
};

bool hasClass(HWND window, const wchar_t* windowClass) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpiW(name, windowClass) == 0;
}

}  // namespace

HWND findChild(HWND parent, const wchar_t* windowClass, const std::wstring& text) {
    Search search{windowClass, &text, parent, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (!hasClass(child, s.windowClass) || textOf(child) != *s.text) return TRUE;
            s.found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring textOf(HWND window) { return win32ui::windowText(window); }

void click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

void clickRow(HWND list, int row) {
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
}

std::vector<std::wstring> rowsOf(HWND list) {
    std::vector<std::wstring> rows;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring row(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(row.data()));
        row.resize(static_cast<std::size_t>(length));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<int> selectedRowsOf(HWND list) {
    std::vector<int> rows;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) rows.push_back(i);
    return rows;
}

namespace {

// The posted actions, run in order by a message-only window of the thread.
std::deque<std::function<void()>>& postedActions() {
    static std::deque<std::function<void()>> actions;
    return actions;
}

HWND actionWindow() {
    static const HWND window = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND w, UINT message, WPARAM wParam,
                                     LPARAM lParam) -> LRESULT {
            if (message != WM_APP) return DefWindowProcW(w, message, wParam, lParam);
            auto action = std::move(postedActions().front());
            postedActions().pop_front();
            action();
            return 0;
        };
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KelmoraTestActions";
        RegisterClassW(&windowClass);
        return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    }();
    return window;
}

std::map<UINT_PTR, ModalAnswerer*>& answerers() {
    static std::map<UINT_PTR, ModalAnswerer*> byTimer;
    return byTimer;
}

struct DialogSearch {
    const std::wstring* title;
    HWND found;
};

// A shown dialog (the dialog manager's class) of this thread titled `title`, or null.
HWND shownDialog(const std::wstring& title) {
    DialogSearch search{&title, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<DialogSearch*>(data);
            if (!IsWindowVisible(window) || !hasClass(window, L"#32770") ||
                textOf(window) != *s.title)
                return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

void handlePendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HWND tooltipOf(HWND owner) {
    struct Found {
        HWND owner, tooltip;
    } found{owner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto& f = *reinterpret_cast<Found*>(data);
            if (!hasClass(window, L"tooltips_class32") || GetWindow(window, GW_OWNER) != f.owner)
                return TRUE;
            f.tooltip = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.tooltip;
}

std::wstring tooltipText(HWND tooltip, HWND toolOwner, UINT_PTR tool) {
    std::wstring text(32768, L'\0');
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = toolOwner;
    info.uId = tool;
    info.lpszText = text.data();
    SendMessageW(tooltip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&info));
    text.resize(wcslen(text.c_str()));
    return text;
}

void postAction(std::function<void()> action) {
    postedActions().push_back(std::move(action));
    PostMessageW(actionWindow(), WM_APP, 0, 0);
}

ModalAnswerer::ModalAnswerer(std::wstring title, std::function<void(HWND)> answer)
    : title_(std::move(title)), answer_(std::move(answer)) {
    timer_ = SetTimer(nullptr, 0, 10, &ModalAnswerer::tick);
    answerers()[timer_] = this;
}

ModalAnswerer::~ModalAnswerer() {
    if (timer_) KillTimer(nullptr, timer_);
    answerers().erase(timer_);
}

void CALLBACK ModalAnswerer::tick(HWND, UINT, UINT_PTR timer, DWORD) {
    const auto found = answerers().find(timer);
    if (found == answerers().end()) return;
    ModalAnswerer& self = *found->second;
    if (const HWND dialog = shownDialog(self.title_)) {
        // Once only: the answer may open further dialogs, whose loops would call this again.
        KillTimer(nullptr, timer);
        self.timer_ = 0;
        self.answered_ = true;
        self.answer_(dialog);
        return;
    }
    if (++self.ticks_ < 500) return;
    KillTimer(nullptr, timer);
    self.timer_ = 0;
    ADD_FAILURE() << "no dialog titled \"" << std::string(self.title_.begin(), self.title_.end())
                  << "\" came up";
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            if (hasClass(window, L"#32770")) EndDialog(window, IDCANCEL);
            return TRUE;
        },
        0);
}

}  // namespace kelmora::test
