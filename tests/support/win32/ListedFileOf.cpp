// SPDX-License-Identifier: MIT
#include "tests/support/ListedFileOf.h"

#include <windows.h>

#include "platform/win32/Win32Identity.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::test {
namespace {

// The identity of the entry at `path` itself (a link's own, not its target's); zero when it
// cannot be opened.
platform::FileIdentity identityAt(const std::wstring& path) {
    const HANDLE handle =
        CreateFileW(platform::win32::extendedPath(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    DWORD error = 0;
    const auto identity = platform::win32::identityOfHandle(handle, error);
    CloseHandle(handle);
    return identity.value_or(platform::FileIdentity{});
}

}  // namespace

platform::ListedFile listedFileOf(const NativeString& path) {
    const std::size_t slash = path.rfind(L'\\');
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    // A drive's root folder is named with its separator ("C:\").
    return {path, identityAt(path), identityAt(folder.size() == 2 ? folder + L"\\" : folder)};
}

}  // namespace kelmora::test
