// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kelmora::win32ui {

// The main window's buttons are BUTTON controls in owner-drawn style (BS_OWNERDRAW), so that they
// keep the designed light-green face, which a themed or classic push button would paint over.
// They stay ordinary buttons otherwise: their window text is their caption, they click on Space
// and BM_CLICK and report BN_CLICKED, and assistive tools read them as push buttons. Each holds
// its picture itself (BM_SETIMAGE with IMAGE_ICON; none for a plain button).

// Creation style of such a button. BS_ICON only lets the button keep the icon it is given; an
// owner-drawn button draws nothing by itself.
inline constexpr DWORD kPictureButtonStyle = WS_TABSTOP | BS_OWNERDRAW | BS_ICON;

// Draws the button of `item` (from WM_DRAWITEM): filled with `face`, raised (sunken while
// pressed), its picture centred in its upper part with the caption centred below it, or the
// caption centred alone when it has no picture; greyed when disabled, with a focus rectangle
// just inside the bevel when it has the keyboard focus, which never crosses the caption. The
// picture keeps a gap of about a quarter of the caption's line height from the focus rectangle
// and from the caption, at every DPI.
void drawPictureButton(const DRAWITEMSTRUCT& item, HBRUSH face);

// The side of the largest square picture that `button` has room for with those gaps, in its
// font and at its height: 32 pixels at 144 dpi, 20 at 96, where the designed 32-pixel pictures
// must be drawn smaller to keep clear of the caption.
int pictureRoom(HWND button);

}  // namespace kelmora::win32ui
