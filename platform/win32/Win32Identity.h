#pragma once

#include <windows.h>

#include <optional>

#include "platform/FileIdentity.h"

namespace kelmora::platform::win32 {

// The identity of the file or folder open at `handle` (any access, even none): the serial number
// of its volume and its file ID as FILE_ID_INFO gives them, 64 and 128 bits (ReFS needs all 128);
// where the system cannot give FILE_ID_INFO, BY_HANDLE_FILE_INFORMATION's 32-bit serial and 64-bit
// file index. A listing and the remover must both read identities this way to compare equal.
// Nothing on failure, with the system's error code in `error`.
std::optional<FileIdentity> identityOfHandle(HANDLE handle, DWORD& error);

}  // namespace kelmora::platform::win32
