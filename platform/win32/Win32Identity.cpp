#include "platform/win32/Win32Identity.h"

#include <cstring>

namespace kelmora::platform::win32 {

std::optional<FileIdentity> identityOfHandle(HANDLE handle, DWORD& error) {
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        FileIdentity identity{id.VolumeSerialNumber, 0, 0};
        static_assert(sizeof id.FileId.Identifier == 2 * sizeof(std::uint64_t));
        // FILE_ID_128 is little-endian: its first eight bytes are the low half.
        std::memcpy(&identity.inode, id.FileId.Identifier, sizeof identity.inode);
        std::memcpy(&identity.inodeHigh, id.FileId.Identifier + 8, sizeof identity.inodeHigh);
        error = 0;
        return identity;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        error = GetLastError();
        return std::nullopt;
    }
    error = 0;
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, 0};
}

}  // namespace kelmora::platform::win32
