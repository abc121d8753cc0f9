#pragma once

#include <windows.h>

#include <optional>

#include "platform/FileIdentity.h"

namespace kelmora::platform::win32 {

// A file's identity in the form the folder listing gives it: the volume's 32-bit serial number
// and the 64-bit file index (FILE_ID_BOTH_DIR_INFO's FileId is that index). The listing and the
// remover must both read identities in this one form to compare equal: FILE_ID_INFO's would not
// do, as on NTFS its serial number is the volume's 64-bit one, of which this is the low half.
FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info);

// The identity of the file or folder open at `handle` (any access, even none). Nothing on
// failure, with the system's error code in `error`.
std::optional<FileIdentity> identityOfHandle(HANDLE handle, DWORD& error);

}  // namespace kelmora::platform::win32
