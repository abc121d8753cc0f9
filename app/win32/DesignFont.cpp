#include "app/win32/DesignFont.h"

#include <cmath>

namespace kelmora::win32ui {

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

}  // namespace kelmora::win32ui
