#include "app/win32/OffscreenPaint.h"

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

}  // namespace kelmora::win32ui
