// SPDX-License-Identifier: MIT
#include "tests/support/IsolatedFileSystem.h"

#include "platform/win32/Win32FileSystem.h"

namespace kelmora::test {

std::unique_ptr<platform::FileSystem> makeIsolatedFileSystem() {
    return std::make_unique<platform::win32::Win32FileSystem>(
        [](const std::wstring&) { return false; });
}

}  // namespace kelmora::test
