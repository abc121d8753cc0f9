// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

#include "app/win32/GdiHandle.h"

namespace kelmora::win32ui {

enum class FontWeight { Regular, Bold };

// The designed Tahoma at `points` and `weight`, at `dpi`, asked for with the East European
// character set: the font mapper then picks a face that has the Czech letters, Tahoma itself
// where it is installed (Windows, and Wine with its own fonts), another such face otherwise.
// Where the face it gets does not draw those letters at that size (drawsCzechLetters), a face
// that does stands in for it, if the system has one: Wine's own Tahoma draws "ů" as a box from
// 9 to 12 pixels, the sizes of 96 dpi.
GdiHandle<HFONT> createDesignFont(double points, FontWeight weight, int dpi);

// Whether `font` draws every Czech letter: each has a glyph of its own (none falls back to the
// missing-glyph box), and the ring of "ů" stands apart from the open top of its "u" (a ring
// drawn down onto the "u" closes it, and the letter reads as a box).
bool drawsCzechLetters(HFONT font);

// How many pixels text in `bold` must be drawn again further right for it to look bold at `dpi`:
// 0 where its glyphs come out clearly heavier than those of `regular`, the same font's regular
// weight, as a bold face's do; otherwise at least 1. Some faces draw their bold no heavier than
// their regular weight at some sizes (Wine's own Tahoma Bold does above 12 pixels, from 120 dpi):
// a label drawn so would not look bold at all.
int boldOverstrike(HFONT bold, HFONT regular, int dpi);

// DrawTextW of `text` in the font selected into `dc`, drawn `overstrike` more times, each one
// pixel further right: the system's way of showing a bold that a font lacks. Each character then
// takes `overstrike` pixels more room (SetTextCharacterExtra), so that the thickened letters keep
// the gaps between them: drawn over the regular advances, "will" would read "wil".
void drawOverstruckText(HDC dc, const std::wstring& text, RECT rect, UINT format, int overstrike);

}  // namespace kelmora::win32ui
