// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kelmora::platform::win32::ntfs {

// One run of a non-resident attribute: `clusters` clusters in a row, from cluster `lcn` of the
// volume, or a hole (sparse: no clusters on disk, reads as zeros) when `lcn` is negative.
struct Run {
    std::int64_t lcn = -1;
    std::uint64_t clusters = 0;
    bool sparse() const { return lcn < 0; }
};

// Decodes a mapping pairs array (a runlist): each run a header byte whose low four bits give the
// width of the length and whose high four bits give the width of the signed start, relative to
// the start of the run before; a start of width 0 is a hole; a header of 0 ends the list.
// Nothing when the list is malformed: it runs past its bytes, a length is 0 or wider than 8
// bytes, or a run on disk does not lie within the volume's `totalClusters` (a hole may be longer
// than the volume: a sparse file's size is not bounded by it).
std::optional<std::vector<Run>> decodeRunlist(std::span<const std::byte> bytes,
                                              std::uint64_t totalClusters);

}  // namespace kelmora::platform::win32::ntfs
