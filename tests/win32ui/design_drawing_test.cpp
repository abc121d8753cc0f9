// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "app/win32/DesignFont.h"
#include "app/win32/DesignPlacement.h"
#include "app/win32/PictureButton.h"
#include "app/win32/Pictures.h"
#include "app/win32/ResourceIds.h"
#include "tests/win32ui/Pixels.h"
#include "window/DesignLayout.h"

namespace kelmora {
namespace {

using namespace win32ui;

// The runs of columns that hold a dark pixel, left to right: one per letter where letters stand
// apart.
int darkColumnRuns(const test::Pixels& drawn) {
    int runs = 0;
    bool previous = false;
    for (int x = 0; x < drawn.width; ++x) {
        bool dark = false;
        for (int y = 0; y < drawn.height; ++y) dark = dark || drawn.dark(x, y);
        runs += dark && !previous;
        previous = dark;
    }
    return runs;
}

// The bold captions come out clearly heavier than the regular text at every DPI, with their
// letters as far apart: some faces draw their bold no heavier than their regular weight at some
// sizes (Wine's Tahoma Bold does above 12 pixels), and then the window draws the bold itself.
TEST(DesignDrawing, BoldCaptionsAreBoldAndKeepTheirLettersApartAtEveryDpi) {
    for (int dpi : {96, 120, 144, 192}) {
        const auto regular = createDesignFont(kFontPoints, FontWeight::Regular, dpi);
        const auto bold = createDesignFont(kFontPoints, FontWeight::Bold, dpi);
        const int overstrike = boldOverstrike(bold.get(), regular.get(), dpi);
        const auto drawn = [&](HFONT font, int extra, const wchar_t* caption) {
            return test::paint(600, 80, [&](HDC dc) {
                SelectObject(dc, font);
                SetBkMode(dc, TRANSPARENT);
                drawOverstruckText(dc, caption, {4, 4, 596, 76}, DT_LEFT | DT_TOP | DT_NOPREFIX,
                                   extra);
            });
        };
        const wchar_t* caption = L"Uvolníte: Využití zásobníku";
        const auto light = drawn(regular.get(), 0, caption).ink(),
                   heavy = drawn(bold.get(), overstrike, caption).ink();
        EXPECT_GE(heavy * 10, light * 12) << "at " << dpi << " dpi";
        // "ů" reads as a ring over an open "u", not as a closed box (Wine's Tahoma at 10 px).
        for (HFONT font : {regular.get(), bold.get()})
            EXPECT_LE(enclosedLightAreas(drawn(font, 0, L"ů").values, 600), 1) << dpi << " dpi";
        EXPECT_GE(darkColumnRuns(drawn(bold.get(), overstrike, L"will")),
                  darkColumnRuns(drawn(regular.get(), 0, L"will")))
            << "at " << dpi << " dpi";
    }
}

// The focus rectangle of a picture button lies inside its bevel and never crosses its caption,
// and the picture keeps clear of both, at 96 dpi, where the caption leaves it little room, and at
// 144 dpi.
TEST(DesignDrawing, FocusRectangleStaysInsideTheBorderAndOffTheCaption) {
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 200, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    const auto green = GdiHandle<HBRUSH>(CreateSolidBrush(designColour(kWindowGreen)));
    for (int dpi : {96, 144}) {
        const auto font = createDesignFont(kFontPoints, FontWeight::Regular, dpi);
        const RECT place = designRect(kMainLayout, "cmdScan", dpi);
        const int width = place.right - place.left, height = place.bottom - place.top;
        const HWND button =
            CreateWindowExW(0, L"BUTTON", L"Stop scan", WS_CHILD | kPictureButtonStyle, 0, 0, width,
                            height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        const auto picture = loadPictureIcon(KELMORA_PICTURE_STOP, pictureRoom(button));
        ASSERT_TRUE(picture);
        SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture.get()));
        const auto drawn = [&](UINT state) {
            return test::paint(width, height, [&](HDC dc) {
                DRAWITEMSTRUCT item{};
                item.CtlType = ODT_BUTTON;
                item.itemAction = ODA_DRAWENTIRE;
                item.itemState = state;
                item.hwndItem = button;
                item.hDC = dc;
                item.rcItem = {0, 0, width, height};
                drawPictureButton(item, green.get());
            });
        };
        const test::Pixels plain = drawn(0), focused = drawn(ODS_FOCUS);
        SetWindowTextW(button, L"");
        const test::Pixels bare = drawn(0);
        // Disabled, the picture is greyed where its shape is, and only there: no grey square
        // around the shape, which a count of the changed pixels alone let pass.
        const test::Pixels greyed = drawn(ODS_DISABLED);
        SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, 0);
        const test::Pixels noPicture = drawn(0), disabledNoPicture = drawn(ODS_DISABLED);
        int shape = 0, grey = 0, stray = 0, pictureTop = height, pictureBottom = 0;
        for (std::size_t i = 0; i < greyed.values.size(); ++i) {
            const bool inShape = bare.values[i] != noPicture.values[i];
            (inShape ? grey : stray) += greyed.values[i] != disabledNoPicture.values[i];
            if (!inShape) continue;
            ++shape;
            pictureTop = std::min(pictureTop, static_cast<int>(i) / width);
            pictureBottom = static_cast<int>(i) / width + 1;
        }
        EXPECT_TRUE(grey > shape / 2 && stray == 0)
            << grey << " of " << shape << ", " << stray << " around it, " << dpi << " dpi";
        // Where the caption's letters are, and where the focus rectangle is.
        RECT letters{width, height, 0, 0};
        int focusPixels = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (plain.at(x, y) != bare.at(x, y)) {
                    letters.left = std::min<LONG>(letters.left, x);
                    letters.top = std::min<LONG>(letters.top, y);
                    letters.right = std::max<LONG>(letters.right, x + 1);
                    letters.bottom = std::max<LONG>(letters.bottom, y + 1);
                }
                if (focused.at(x, y) == plain.at(x, y)) continue;
                ++focusPixels;
                EXPECT_TRUE(x >= 2 && y >= 2 && x < width - 2 && y < height - 2)
                    << "focus on the border at " << x << "," << y << ", " << dpi << " dpi";
            }
        ASSERT_LT(letters.left, letters.right) << "no caption drawn";
        EXPECT_GT(focusPixels, 0);
        // Clear rows between the focus rectangle (row 2), the picture and the caption's letters.
        EXPECT_TRUE(pictureTop >= 5 && letters.top - pictureBottom >= 3)
            << pictureTop << ".." << pictureBottom << " over " << letters.top << ", " << dpi;
        for (int y = letters.top; y < letters.bottom; ++y)
            for (int x = letters.left; x < letters.right; ++x)
                EXPECT_EQ(focused.at(x, y), plain.at(x, y))
                    << "focus over the caption at " << x << "," << y << ", " << dpi << " dpi";
        DestroyWindow(button);
    }
    DestroyWindow(parent);
}

}  // namespace
}  // namespace kelmora
