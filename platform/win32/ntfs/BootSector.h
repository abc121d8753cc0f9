// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelmora::platform::win32::ntfs {

// The geometry of an NTFS volume, from its boot sector (the volume's first sector).
struct BootSector {
    std::uint32_t bytesPerSector = 0;   // 512 to 4096, a power of two
    std::uint32_t bytesPerCluster = 0;  // a power of two, at most 2 MiB
    std::uint32_t bytesPerRecord = 0;   // of the master file table: a power of two, 512 to 64 KiB
    std::uint64_t totalSectors = 0;
    std::uint64_t mftCluster = 0;  // the first cluster of the master file table
    std::uint64_t serialNumber = 0;
};

// Reads the geometry from the boot sector's bytes (at least 512). Nothing when it is not an NTFS
// boot sector ("NTFS    " and the 0x55AA signature) or gives a geometry no NTFS volume has: then
// the volume is not read as NTFS at all.
std::optional<BootSector> readBootSector(std::span<const std::byte> sector);

}  // namespace kelmora::platform::win32::ntfs
