#include "platform/win32/Win32Identity.h"

namespace kelmora::platform::win32 {

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
            {}};
}

std::optional<FileIdentity> identityOfHandle(HANDLE handle, DWORD& error) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        error = GetLastError();
        return std::nullopt;
    }
    error = 0;
    return identityOf(info);
}

}  // namespace kelmora::platform::win32
