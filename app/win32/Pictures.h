// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include "app/win32/GdiHandle.h"

namespace kelmora::win32ui {

// The program's pictures, embedded as resources in their own formats (GIF, PNG) and decoded with
// GDI+, which keeps their transparency. Each returns a null handle when the resource is missing
// or cannot be decoded; a window then shows no picture there.

// The picture `resourceId` as an icon of its own size, or scaled down to fit a square of
// `largest` pixels where it is larger: the GIFs' transparent colour becomes transparent, so the
// button face shows around the drawn shape.
IconHandle loadPictureIcon(int resourceId, int largest = 0);

// The picture `resourceId` scaled to `width` by `height` pixels, on `background` where it is
// transparent.
GdiHandle<HBITMAP> loadScaledPicture(int resourceId, int width, int height, COLORREF background);

}  // namespace kelmora::win32ui
