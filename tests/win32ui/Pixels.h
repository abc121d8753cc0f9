#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

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
    // How dark the picture is: the sum over its pixels of how far each is from white.
    std::uint64_t ink() const {
        std::uint64_t sum = 0;
        for (std::uint32_t v : values) sum += 0xFF - (v & 0xFF);
        return sum;
    }
};

inline Pixels paint(int width, int height, const std::function<void(HDC)>& draw) {
    Pixels out{width, height, {}};
    const HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP image = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(dc, image);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    draw(dc);
    GdiFlush();
    const auto* pixel = static_cast<const std::uint32_t*>(bits);
    out.values.assign(pixel, pixel + static_cast<std::ptrdiff_t>(width) * height);
    for (auto& v : out.values) v &= 0xFFFFFF;
    SelectObject(dc, previous);
    DeleteObject(image);
    DeleteDC(dc);
    return out;
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
