// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <array>
#include <string_view>

#include "window/DesignLayout.h"

namespace kelmora::win32ui {

// The windows are laid out once, at the system's DPI (the program declares itself system-DPI
// aware), from the design tables in twips: 1440 twips to the inch.
int systemDpi();

// A designed colour, given as 0xRRGGBB.
constexpr COLORREF designColour(unsigned rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Twips to pixels at `dpi`, rounded to the nearest; at 96 dpi the same as twipsToPixels.
inline int twipsToPixelsAt(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// The child-window identifier of control `name`: 1000 plus its row in `layout`, so that no
// control collides with the dialog manager's IDOK and IDCANCEL; 0 when the layout lacks it. Tests
// and assistive tools find a control by it, as the Qt window's controls are found by objectName.
template <std::size_t N>
constexpr int controlId(const std::array<DesignRect, N>& layout, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i)
        if (layout[i].name == name) return 1000 + static_cast<int>(i);
    return 0;
}

// The designed rectangle of control `name` in pixels at `dpi`; empty when the layout lacks it.
template <std::size_t N>
RECT designRect(const std::array<DesignRect, N>& layout, std::string_view name, int dpi) {
    for (const auto& r : layout)
        if (r.name == name) {
            const int left = twipsToPixelsAt(r.left, dpi), top = twipsToPixelsAt(r.top, dpi);
            return {left, top, left + twipsToPixelsAt(r.width, dpi),
                    top + twipsToPixelsAt(r.height, dpi)};
        }
    return {};
}

// Creates child control `name` of `layout` inside `parent`, at its designed place, with its
// identifier; `text` is its window text.
template <std::size_t N>
HWND createControl(const std::array<DesignRect, N>& layout, std::string_view name, HWND parent,
                   int dpi, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                   DWORD exStyle = 0) {
    const RECT r = designRect(layout, name, dpi);
    return CreateWindowExW(exStyle, windowClass, text, WS_CHILD | style, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(layout, name))),
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace kelmora::win32ui
