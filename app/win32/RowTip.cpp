// SPDX-License-Identifier: MIT
#include "app/win32/RowTip.h"

#include <commctrl.h>

#include <string>

#include "app/win32/DesignFont.h"

namespace kelmora::win32ui {
namespace {

TTTOOLINFOW toolOf(HWND list) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = GetAncestor(list, GA_ROOT);
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    return tool;
}

}  // namespace

RowTip::RowTip(HWND list)
    : list_(list),
      tooltip_(CreateWindowExW(
          WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(list, GA_ROOT),
          nullptr, GetModuleHandleW(nullptr), nullptr)) {
    TTTOOLINFOW tool = toolOf(list_);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT inside{};
    GetClientRect(list_, &inside);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, inside.right - inside.left);
    // The tip shows file names in the system's tooltip font; one that draws Czech letters wrong
    // (Wine's Tahoma at 11 pixels draws "ů" as a box) gives way to the list's own font.
    const auto tipFont = reinterpret_cast<HFONT>(SendMessageW(tooltip_, WM_GETFONT, 0, 0));
    if (tipFont && !drawsCzechLetters(tipFont))
        SendMessageW(tooltip_, WM_SETFONT, SendMessageW(list_, WM_GETFONT, 0, 0), FALSE);
}

RowTip::~RowTip() {
    if (IsWindow(tooltip_)) DestroyWindow(tooltip_);
}

void RowTip::show(int row) {
    if (row == row_) return;
    row_ = row;
    std::wstring text;
    if (row >= 0) {
        const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
        if (length > 0) {
            text.resize(static_cast<std::size_t>(length) + 1);
            text.resize(
                static_cast<std::size_t>(SendMessageW(list_, LB_GETTEXT, static_cast<WPARAM>(row),
                                                      reinterpret_cast<LPARAM>(text.data()))));
        }
    }
    if (text.empty()) SendMessageW(tooltip_, TTM_POP, 0, 0);
    TTTOOLINFOW tool = toolOf(list_);
    tool.lpszText = text.data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void RowTip::listMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        MSG relayed{};
        relayed.hwnd = list_;
        relayed.message = message;
        relayed.wParam = wParam;
        relayed.lParam = lParam;
        SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    if (message == WM_MOUSEMOVE) {
        // The row under the mouse, worked out from the rows' fixed height (LB_ITEMFROMPOINT
        // answers in 16 bits, and the list may hold more rows).
        const auto top = static_cast<int>(SendMessageW(list_, LB_GETTOPINDEX, 0, 0));
        const auto height = static_cast<int>(SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0));
        const auto count = static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
        const int y = static_cast<short>(HIWORD(lParam));
        const int row = height > 0 && y >= 0 ? top + y / height : -1;
        show(row >= 0 && row < count ? row : -1);
    } else if (message == LB_RESETCONTENT || message == LB_DELETESTRING) {
        show(-1);  // the row's text may be another row's now
    }
}

}  // namespace kelmora::win32ui
