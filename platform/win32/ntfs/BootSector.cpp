// SPDX-License-Identifier: MIT
#include "platform/win32/ntfs/BootSector.h"

#include <algorithm>
#include <array>

#include "platform/win32/ntfs/LittleEndian.h"

namespace kelmora::platform::win32::ntfs {
namespace {

constexpr bool powerOfTwo(std::uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

// A size given in clusters as a signed byte: positive, that many clusters; negative, 2 to the
// power of its magnitude, in bytes (for records smaller than a cluster).
std::uint64_t sizeFromClusters(std::uint8_t raw, std::uint32_t bytesPerCluster) {
    const auto value = static_cast<std::int8_t>(raw);
    if (value > 0) return static_cast<std::uint64_t>(value) * bytesPerCluster;
    if (value < -31 || value == 0) return 0;
    return std::uint64_t{1} << -value;
}

}  // namespace

std::optional<BootSector> readBootSector(std::span<const std::byte> sector) {
    const LittleEndian bytes(sector);
    if (!bytes.fits(0, 512)) return std::nullopt;
    static constexpr std::array<char, 8> kOem{'N', 'T', 'F', 'S', ' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < kOem.size(); ++i)
        if (static_cast<char>(sector[3 + i]) != kOem[i]) return std::nullopt;
    if (bytes.u16(0x1FE) != 0xAA55) return std::nullopt;

    BootSector boot;
    boot.bytesPerSector = bytes.u16(0x0B);
    if (!powerOfTwo(boot.bytesPerSector) || boot.bytesPerSector < 512 || boot.bytesPerSector > 4096)
        return std::nullopt;
    // Sectors per cluster: a count up to 128; above, 2 to the power of its negated value, as
    // volumes with clusters larger than 64 KiB write it.
    const std::uint8_t perCluster = bytes.u8(0x0D);
    const std::uint64_t sectors =
        perCluster <= 0x80 ? perCluster
                           : (perCluster >= 0xF4 ? std::uint64_t{1} << (256 - perCluster) : 0);
    const std::uint64_t cluster = sectors * boot.bytesPerSector;
    if (!powerOfTwo(cluster) || cluster > (2u << 20)) return std::nullopt;
    boot.bytesPerCluster = static_cast<std::uint32_t>(cluster);
    const std::uint64_t record = sizeFromClusters(bytes.u8(0x40), boot.bytesPerCluster);
    if (!powerOfTwo(record) || record < 512 || record > 65536 || record < boot.bytesPerSector)
        return std::nullopt;
    boot.bytesPerRecord = static_cast<std::uint32_t>(record);
    boot.totalSectors = bytes.u64(0x28);
    boot.mftCluster = bytes.u64(0x30);
    boot.serialNumber = bytes.u64(0x48);
    const std::uint64_t clusters = boot.totalSectors / sectors;
    if (boot.mftCluster == 0 || boot.mftCluster >= clusters) return std::nullopt;
    return boot;
}

}  // namespace kelmora::platform::win32::ntfs
