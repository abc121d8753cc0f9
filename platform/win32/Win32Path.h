// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelmora::platform::win32 {

// True when `path` begins with a drive letter, a colon and a separator ("C:\...").
bool isDriveAbsolute(std::wstring_view path);

// The form of `path` handed to the file system's W functions: a drive-absolute path ("C:\...")
// gets the "\\?\" prefix, so that it may exceed MAX_PATH and so that a name ending in a dot or a
// blank, which the file system allows, reaches it unchanged instead of being trimmed into another
// name. Other paths pass as they are.
std::wstring extendedPath(const std::wstring& path);

// What the file system says of one name, read without following a link.
struct FileFacts {
    DWORD attributes = 0;  // FILE_ATTRIBUTE_* of the entry itself
    DWORD reparseTag = 0;  // IO_REPARSE_TAG_* when the entry is a reparse point, else 0
    std::int64_t size = 0;

    bool isFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // A symbolic link, junction or mount point: a name that stands for another one. A reparse
    // point without a tag (no valid one is 0; Wine lists a Unix symbolic link so) counts as a link
    // too, the side on which the walk cannot circle.
    bool isLink() const {
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag));
    }
    // A file the scan may list and the remover may act on: not a folder, not a link, not a device.
    bool isRegularFile() const {
        return !isFolder() && !isLink() && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
    }
};

// The facts of the entry at `path`, or nothing with the system's error code in `error`
// (ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when there is no such entry). A path with "*" or
// "?" names no entry (Windows allows neither in a name) and is never used as a pattern.
std::optional<FileFacts> readFileFacts(const std::wstring& path, DWORD& error);

// True when `error` says that nothing exists at the path.
inline bool isNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace kelmora::platform::win32
