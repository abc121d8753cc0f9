// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <string_view>

namespace kelmora {

// Where a control of the main window sits, in twips (1/1440 inch) from the top-left corner of its
// parent's client area, as designed, and its place in the tab order (-1: none).
struct DesignRect {
    std::string_view name;
    int left, top, width, height;
    int tabIndex = -1;
};

// The window's client area, in twips.
inline constexpr int kClientWidthTwips = 6780;
inline constexpr int kClientHeightTwips = 5085;

// Every control of the main window but the hidden size list. sLevel counts from the inside of
// Picture1.
inline constexpr std::array<DesignRect, 19> kMainLayout = {{
    {"cmdScan", 108, 108, 1632, 660, 0},       {"cmdCA", 108, 756, 1632, 660, 6},
    {"cmdDeselect", 108, 1404, 1632, 660, 11}, {"cmdErase1", 108, 2052, 1632, 660, 12},
    {"cmdErase2", 108, 2700, 1632, 660, 13},   {"Label2", 108, 3564, 1632, 228, 10},
    {"Picture1", 108, 3888, 1632, 228, 7},     {"sLevel", 10, 10, 12, 160},
    {"Label1", 108, 4212, 1416, 228, 3},       {"lblFreed", 108, 4428, 1524, 228, 4},
    {"lstList", 1836, 108, 4764, 3300, 1},     {"Label4", 1944, 3780, 1416, 228, 9},
    {"lblWill", 3456, 3780, 1524, 228, 8},     {"cmdLang", 5184, 3564, 1524, 336, 14},
    {"Command1", 5184, 3888, 1524, 336, 15},   {"Label3", 1830, 4425, 2970, 225, 5},
    {"lblWD", 108, 4752, 6600, 228, 2},        {"imgGo", 6150, 4320, 480, 480},
    {"imgStop", 5505, 4320, 480, 480},
}};

// Twips in one pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

// Twips to pixels at 96 dpi, rounded to the nearest (108 gives 7). The window is laid out in these
// pixels once; on a denser screen Qt scales it as a whole.
constexpr int twipsToPixels(int twips) {
    constexpr int half = kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
}

// Whether the stack-usage bar sLevel is drawn at `twips` wide. A bar narrower than a pixel is not:
// its outline alone would show an empty gauge as a one-pixel bar.
constexpr bool gaugeBarShown(int twips) { return twips >= kTwipsPerPixel; }

// The result list shows whole rows of this height, 18 of them inside its 220-pixel box less its
// two-pixel sunken border.
inline constexpr int kListRowPixels = 12;

// The window's colours, as 0xRRGGBB.
inline constexpr unsigned kWindowGreen = 0xC0FFC0;   // window, buttons and labels
inline constexpr unsigned kGaugeYellow = 0xFFFFC0;   // inside of Picture1
inline constexpr unsigned kGaugeBarBlue = 0x8080FF;  // sLevel

// The window font: Tahoma at this size where it is installed.
inline constexpr double kFontPoints = 7.5;

}  // namespace kelmora
