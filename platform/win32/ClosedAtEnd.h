// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kelmora::platform::win32 {

// Owns a handle for a scope and closes it at the end; INVALID_HANDLE_VALUE (a failed open) is
// left alone. Neither copied nor moved: one scope, one handle.
struct ClosedAtEnd {
    HANDLE handle;
    explicit ClosedAtEnd(HANDLE h) : handle(h) {}
    ClosedAtEnd(const ClosedAtEnd&) = delete;
    ClosedAtEnd& operator=(const ClosedAtEnd&) = delete;
    ~ClosedAtEnd() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

}  // namespace kelmora::platform::win32
