// SPDX-License-Identifier: MIT
#include "platform/win32/ntfs/Runlist.h"

#include "platform/win32/ntfs/LittleEndian.h"

namespace kelmora::platform::win32::ntfs {

std::optional<std::vector<Run>> decodeRunlist(std::span<const std::byte> bytes,
                                              std::uint64_t totalClusters) {
    const LittleEndian list(bytes);
    std::vector<Run> runs;
    std::int64_t previous = 0;
    std::size_t at = 0;
    while (true) {
        if (!list.fits(at, 1)) return std::nullopt;  // no end marker
        const std::uint8_t header = list.u8(at++);
        if (header == 0) return runs;
        const std::size_t lengthWidth = header & 0x0F;
        const std::size_t startWidth = header >> 4;
        if (lengthWidth == 0 || lengthWidth > 8 || startWidth > 8 ||
            !list.fits(at, lengthWidth + startWidth))
            return std::nullopt;
        Run run;
        run.clusters = list.uint(at, lengthWidth);
        at += lengthWidth;
        if (run.clusters == 0) return std::nullopt;
        if (startWidth > 0) {
            // Sign-extended from its width: a run may start before the one it follows.
            std::uint64_t raw = list.uint(at, startWidth);
            if (startWidth < 8 && (raw >> (startWidth * 8 - 1)) != 0)
                raw |= ~std::uint64_t{0} << (startWidth * 8);
            const auto start =
                static_cast<std::int64_t>(static_cast<std::uint64_t>(previous) + raw);
            if (start < 0 || static_cast<std::uint64_t>(start) >= totalClusters ||
                run.clusters > totalClusters - static_cast<std::uint64_t>(start))
                return std::nullopt;
            run.lcn = previous = start;
        }
        at += startWidth;
        runs.push_back(run);
    }
}

}  // namespace kelmora::platform::win32::ntfs
