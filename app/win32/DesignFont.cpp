#include "app/win32/DesignFont.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kelmora::win32ui {
namespace {

// How dark a sample of the window's captions comes out in `font`: the sum over a white image of
// how far each pixel is from white.
std::uint64_t inkOf(HFONT font) {
    constexpr int kWidth = 400, kHeight = 100;
    const HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP image = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::uint64_t ink = 0;
    if (image && bits) {
        const HGDIOBJ previousImage = SelectObject(dc, image);
        const HGDIOBJ previousFont = SelectObject(dc, font);
        RECT all{0, 0, kWidth, kHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"Lze uvolnit: Název souboru:", -1, &all, DT_LEFT | DT_TOP | DT_NOPREFIX);
        GdiFlush();
        const auto* pixel = static_cast<const std::uint32_t*>(bits);
        for (int i = 0; i < kWidth * kHeight; ++i) ink += 0xFF - (pixel[i] & 0xFF);
        SelectObject(dc, previousFont);
        SelectObject(dc, previousImage);
        DeleteObject(image);
    }
    DeleteDC(dc);
    return ink;
}

}  // namespace

GdiHandle<HFONT> createDesignFont(double points, FontWeight weight, int dpi) {
    LOGFONTW font{};
    // A negative height asks for the character height, as point sizes are meant: 7.5 points are
    // 10 pixels at 96 dpi.
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    font.lfWeight = weight == FontWeight::Bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = EASTEUROPE_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpynW(font.lfFaceName, L"Tahoma", LF_FACESIZE);
    return GdiHandle<HFONT>(CreateFontIndirectW(&font));
}

int boldOverstrike(HFONT bold, HFONT regular, int dpi) {
    // A bold face's strokes are about half as wide again as the regular ones, or more.
    const std::uint64_t heavy = inkOf(bold), light = inkOf(regular);
    if (heavy * 100 >= light * 125) return 0;
    return std::max(1, dpi / 144);
}

void drawOverstruckText(HDC dc, const std::wstring& text, RECT rect, UINT format, int overstrike) {
    for (int pass = 0; pass <= overstrike; ++pass) {
        RECT at = rect;
        OffsetRect(&at, pass, 0);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &at, format);
    }
}

}  // namespace kelmora::win32ui
