// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kelmora::bench {

// Handles what waits and paints what is invalid: the moment the user sees the final state.
inline void settle(HWND window) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

}  // namespace kelmora::bench
