// SPDX-License-Identifier: MIT
// The input is a volume's first sector: a geometry read from it is one that NTFS can have.
#include <cstddef>
#include <cstdint>

#include "platform/win32/ntfs/BootSector.h"

using namespace kelmora::platform::win32::ntfs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto boot = readBootSector(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (boot && (boot->bytesPerCluster % boot->bytesPerSector != 0 || boot->bytesPerRecord < 512))
        __builtin_trap();
    return 0;
}
