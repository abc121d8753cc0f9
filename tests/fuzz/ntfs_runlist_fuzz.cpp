// SPDX-License-Identifier: MIT
// The input is a volume's size in clusters (its first 8 bytes) and a runlist: every run on disk
// that decodes lies within the volume.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/win32/ntfs/Runlist.h"

using namespace kelmora::platform::win32::ntfs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t clusters = 0;
    if (size < sizeof clusters) return 0;
    std::memcpy(&clusters, data, sizeof clusters);
    const auto runs =
        decodeRunlist(std::span(reinterpret_cast<const std::byte*>(data) + 8, size - 8), clusters);
    if (runs)
        for (const Run& run : *runs)
            if (!run.sparse() && (static_cast<std::uint64_t>(run.lcn) >= clusters ||
                                  run.clusters > clusters - static_cast<std::uint64_t>(run.lcn)))
                __builtin_trap();
    return 0;
}
