// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string_view>

namespace kelmora::platform::win32 {

// Opens the entry named `name` (one name, no separator) in the folder open at `folder`, the entry
// itself and never what a link or junction of that name points to (NtCreateFile relative to the
// folder's handle, FILE_OPEN_REPARSE_POINT): the entry found is in that very folder, whatever has
// become of the path that led to it, and on its volume. The name is taken as it is, with no
// trimming of a final dot or blank. With `folderOnly` anything but a folder is refused.
//
// The handle (synchronous, with `access` and `share`), or INVALID_HANDLE_VALUE with the system's
// error code in `error` (ERROR_FILE_NOT_FOUND when there is no such entry).
HANDLE openInFolder(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share,
                    bool folderOnly, DWORD& error);

}  // namespace kelmora::platform::win32
