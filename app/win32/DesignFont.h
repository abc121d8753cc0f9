#pragma once

#include <windows.h>

#include "app/win32/GdiHandle.h"

namespace kelmora::win32ui {

enum class FontWeight { Regular, Bold };

// The designed Tahoma at `points` and `weight`, at `dpi`, asked for with the East European
// character set: the font mapper then picks a face that has the Czech letters, Tahoma itself
// where it is installed (Windows, and Wine with its own fonts), another such face otherwise.
GdiHandle<HFONT> createDesignFont(double points, FontWeight weight, int dpi);

}  // namespace kelmora::win32ui
