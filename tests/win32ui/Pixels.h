// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/win32/OffscreenPaint.h"

namespace kelmora::test {

// A picture of `width` by `height` pixels that `draw` painted on a memory device context, one
// 0x00RRGGBB value per pixel, row by row from the top.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> values;

    std::uint32_t at(int x, int y) const {
        return values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
    std::uint64_t ink() const { return win32ui::inkOf(values); }
    // Darker than mid-grey, as black text is where it is drawn.
    bool dark(int x, int y) const { return (at(x, y) & 0xFF) < 0x80; }
    int darkPixels() const {
        return static_cast<int>(std::count_if(values.begin(), values.end(),
                                              [](std::uint32_t v) { return (v & 0xFF) < 0x80; }));
    }
};

inline Pixels paint(int width, int height, const std::function<void(HDC)>& draw) {
    return {width, height, win32ui::paintOffscreen(width, height, draw)};
}

// The window as it paints itself (WM_PRINTCLIENT), on white.
inline Pixels paintWindow(HWND window) {
    RECT inside{};
    GetClientRect(window, &inside);
    return paint(inside.right, inside.bottom, [window](HDC dc) {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
}

}  // namespace kelmora::test
