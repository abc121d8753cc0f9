// SPDX-License-Identifier: MIT
#include "app/win32/DesignFont.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>

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

// The designed face first, then the faces that stand in for it, nearest in look first: DejaVu Sans
// Condensed is about as narrow as Tahoma; DejaVu Sans comes with every Wine on Debian.
constexpr std::array<const wchar_t*, 3> kFaces = {L"Tahoma", L"DejaVu Sans Condensed",
                                                  L"DejaVu Sans"};

GdiHandle<HFONT> createFace(const wchar_t* face, LONG height, FontWeight weight) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = weight == FontWeight::Bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = EASTEUROPE_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return GdiHandle<HFONT>(CreateFontIndirectW(&font));
}

// Whether the font mapper gave `font` the face `face` itself rather than another in its place.
bool isFace(HFONT font, const wchar_t* face) {
    wchar_t got[LF_FACESIZE] = L"";
    paintOffscreen(1, 1, [&](HDC dc) {
        const HGDIOBJ previous = SelectObject(dc, font);
        GetTextFaceW(dc, LF_FACESIZE, got);
        SelectObject(dc, previous);
    });
    return lstrcmpiW(got, face) == 0;
}

}  // namespace

GdiHandle<HFONT> createDesignFont(double points, FontWeight weight, int dpi) {
    // A negative height asks for the character height, as point sizes are meant: 7.5 points are
    // 10 pixels at 96 dpi.
    const LONG height = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    auto designed = createFace(kFaces[0], height, weight);
    if (!designed || drawsCzechLetters(designed.get())) return designed;
    for (std::size_t i = 1; i < kFaces.size(); ++i) {
        auto standIn = createFace(kFaces[i], height, weight);
        if (standIn && isFace(standIn.get(), kFaces[i]) && drawsCzechLetters(standIn.get()))
            return standIn;
    }
    return designed;  // no better face: the designed one as it is
}

bool drawsCzechLetters(HFONT font) {
    static constexpr wchar_t kLetters[] = L"áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ";
    constexpr int kCount = static_cast<int>(std::size(kLetters)) - 1;
    LOGFONTW asked{};
    GetObjectW(font, sizeof asked, &asked);
    // Room for the letter and light all round it, so that only what it encloses is enclosed.
    const int side = 3 * std::max(8, static_cast<int>(std::labs(asked.lfHeight)));
    bool present = true;
    const auto ring = paintOffscreen(side, side, [&](HDC dc) {
        const HGDIOBJ previous = SelectObject(dc, font);
        std::array<WORD, kCount> glyphs{};
        present = GetGlyphIndicesW(dc, kLetters, kCount, glyphs.data(),
                                   GGI_MARK_NONEXISTING_GLYPHS) == kCount &&
                  std::find(glyphs.begin(), glyphs.end(), 0xFFFF) == glyphs.end();
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, side / 3, side / 3, L"ů", 1);
        SelectObject(dc, previous);
    });
    // The ring's eye is the one light area "ů" encloses; the "u" below it is open at the top.
    return present && !ring.empty() && enclosedLightAreas(ring, side) <= 1;
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
