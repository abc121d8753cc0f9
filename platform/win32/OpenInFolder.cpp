// SPDX-License-Identifier: MIT
#include "platform/win32/OpenInFolder.h"

#include <winternl.h>

namespace kelmora::platform::win32 {

HANDLE openInFolder(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share,
                    bool folderOnly, DWORD& error) {
    // A name, not a path: a separator would reach into another folder.
    if (name.empty() || name.find_first_of(L"\\/") != std::wstring_view::npos ||
        name.size() > 32767) {
        error = ERROR_INVALID_NAME;
        return INVALID_HANDLE_VALUE;
    }
    const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    UNICODE_STRING text{bytes, bytes, const_cast<PWSTR>(name.data())};
    OBJECT_ATTRIBUTES attributes;
    // Case as the file system's W functions treat it.
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    const NTSTATUS result = NtCreateFile(
        &handle, access | SYNCHRONIZE, &attributes, &status, nullptr, 0, share, FILE_OPEN,
        FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT |
            (folderOnly ? FILE_DIRECTORY_FILE : 0),
        nullptr, 0);
    if (result < 0) {
        error = RtlNtStatusToDosError(result);
        return INVALID_HANDLE_VALUE;
    }
    error = 0;
    return handle;
}

}  // namespace kelmora::platform::win32
