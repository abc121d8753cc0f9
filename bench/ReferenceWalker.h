// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelmora::bench {

struct WalkResult {
    std::uint64_t matches = 0;
    std::uint64_t bytes = 0;
};

// The baseline: a minimal single-threaded walker that reads folders with getdents64, trusts d_type,
// follows no link, and stats (fstatat) only the files whose names end like one of the ten masks.
// It does only what the scan must do and nothing else: no ordering, no display, no bookkeeping.
WalkResult referenceWalk(const std::string& root);

// The reference walker's test of a name against the ten masks: ".~" followed by exactly two
// characters, or one of nine fixed extensions, regardless of ASCII case.
bool matchesMask(const char* name, std::size_t length);

}  // namespace kelmora::bench
