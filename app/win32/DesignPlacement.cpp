// SPDX-License-Identifier: MIT
#include "app/win32/DesignPlacement.h"

namespace kelmora::win32ui {

int systemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace kelmora::win32ui
