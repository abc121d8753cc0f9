// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include "window/DesignLayout.h"

namespace kelmora {

// The About dialog as designed, in twips (1/1440 inch), read by every front end: its client area,
// where that area's top-left corner sits on the screen (the dialog is not centred), its controls
// in tab order, and the etched separator.

inline constexpr int kAboutClientWidthTwips = 5550;
inline constexpr int kAboutClientHeightTwips = 4170;
inline constexpr int kAboutScreenLeftTwips = 2340;
inline constexpr int kAboutScreenTopTwips = 1860;

// Every control but the separator lines; the two buttons first, in their tab order. The logo
// takes no focus.
inline constexpr std::array<DesignRect, 10> kAboutLayout = {{
    {"cmdOK", 4200, 3270, 1260, 345, 0},
    {"cmdSysInfo", 4200, 3705, 1245, 345, 1},
    {"lblDescription", 2280, 960, 3165, 1575},
    {"lblTitle", 2400, 105, 3885, 270},
    {"lblVersion", 2280, 435, 3990, 225},
    {"Label1", 105, 3270, 4035, 870},
    {"Label2", 2280, 720, 4230, 225},
    {"Label3", 1560, 2520, 2610, 225},
    {"web", 1080, 2850, 3795, 225},
    {"logo", 105, 120, 1950, 1815},
}};

// One line of the etched separator `Line1`: from x1 to x2 at y (twips), `thickness` pixels wide
// and centred on y, in `colour` (0xRRGGBB). Index 1, the grey line, lies above index 0, the white.
struct DesignLine {
    int index, x1, x2, y, thickness;
    unsigned colour;
};
inline constexpr std::array<DesignLine, 2> kAboutEtchedLines = {{
    {1, -105, 5465, 3165, 1, 0x808080},
    {0, -105, 5450, 3195, 2, 0xFFFFFF},
}};

// The dialog's light grey, 0xRRGGBB.
inline constexpr unsigned kAboutBackground = 0xEEEEEE;

// The dialog's fonts: Tahoma at these sizes, in points; the title is bold, and so are the version
// line, the e-mail address and the web line.
inline constexpr double kAboutTextPoints = 7.5;
inline constexpr double kAboutTitlePoints = 12;

}  // namespace kelmora
