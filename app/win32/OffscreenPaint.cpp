// SPDX-License-Identifier: MIT
#include "app/win32/OffscreenPaint.h"

#include <cstddef>
#include <initializer_list>

namespace kelmora::win32ui {

std::vector<std::uint32_t> paintOffscreen(int width, int height,
                                          const std::function<void(HDC)>& draw) {
    std::vector<std::uint32_t> pixels;
    const HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP image = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (image && bits) {
        const HGDIOBJ previous = SelectObject(dc, image);
        RECT all{0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        draw(dc);
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        pixels.assign(first, first + static_cast<std::ptrdiff_t>(width) * height);
        for (auto& value : pixels) value &= 0xFFFFFF;
        SelectObject(dc, previous);
    }
    if (image) DeleteObject(image);
    DeleteDC(dc);
    return pixels;
}

std::uint64_t inkOf(const std::vector<std::uint32_t>& pixels) {
    std::uint64_t sum = 0;
    for (const std::uint32_t value : pixels) sum += 0xFF - (value & 0xFF);
    return sum;
}

int enclosedLightAreas(const std::vector<std::uint32_t>& pixels, int width) {
    if (width <= 0) return 0;
    const auto w = static_cast<std::size_t>(width), count = pixels.size();
    // Each light area is filled from its first pixel; the one that touches the edge is not counted.
    std::vector<bool> seen(count);
    std::vector<std::size_t> next;
    int enclosed = 0;
    for (std::size_t first = 0; first < count; ++first) {
        if (seen[first] || (pixels[first] & 0xFF) < 0x80) continue;
        bool open = false;
        seen[first] = true;
        next.assign(1, first);
        while (!next.empty()) {
            const std::size_t at = next.back(), x = at % w;
            next.pop_back();
            open = open || x == 0 || x + 1 == w || at < w || at + w >= count;
            for (const std::size_t to : {x > 0 ? at - 1 : at, x + 1 < w ? at + 1 : at,
                                         at >= w ? at - w : at, at + w < count ? at + w : at})
                if (!seen[to] && (pixels[to] & 0xFF) >= 0x80) {
                    seen[to] = true;
                    next.push_back(to);
                }
        }
        enclosed += !open;
    }
    return enclosed;
}

}  // namespace kelmora::win32ui
