#include "app/win32/DesignFont.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/win32/OffscreenPaint.h"

namespace kelmora::win32ui {
namespace {

// How dark a sample of the window's captions comes out in `font`.
std::uint64_t captionInk(HFONT font) {
    return inkOf(paintOffscreen(400, 100, [font](HDC dc) {
        const HGDIOBJ previous = SelectObject(dc, font);
        RECT all{0, 0, 400, 100};
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"Lze uvolnit: Název souboru:", -1, &all, DT_LEFT | DT_TOP | DT_NOPREFIX);
        SelectObject(dc, previous);
    }));
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
    const std::uint64_t heavy = captionInk(bold), light = captionInk(regular);
    if (heavy * 100 >= light * 125) return 0;
    return std::max(1, dpi / 144);
}

void drawOverstruckText(HDC dc, const std::wstring& text, RECT rect, UINT format, int overstrike) {
    const int extra = GetTextCharacterExtra(dc);
    if (overstrike > 0) SetTextCharacterExtra(dc, extra + overstrike);
    for (int pass = 0; pass <= overstrike; ++pass) {
        RECT at = rect;
        OffsetRect(&at, pass, 0);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &at, format);
    }
    if (overstrike > 0) SetTextCharacterExtra(dc, extra);
}

}  // namespace kelmora::win32ui
