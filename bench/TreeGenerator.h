// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace kelmora::bench {

// What a generated tree holds.
struct TreeStats {
    std::uint64_t files = 0, folders = 0, matching = 0, links = 0;
};

// Builds a deterministic tree below `root` (which must not exist): `folders` folders up to 12
// levels deep, `files` files spread over them, about `matchingPercent`% of them (1% by default,
// 100 for all) named to match a mask in mixed case and given a size, some hidden folders, links to
// folders that a walk must not follow and a few long names. The same arguments give the same tree.
TreeStats generateTree(const std::string& root, std::uint64_t files, std::uint64_t folders,
                       std::uint32_t seed, std::uint32_t matchingPercent = 1);

// Builds below `root` (which must not exist) a tree `levels` folders deep with three folders of
// `nameLength`-byte names at every level (one without `siblings`), of which one goes on, and
// `files` empty matching files at the bottom: the shape that makes path lengths, not names, the
// cost of a walk that keeps whole paths. Its paths exceed PATH_MAX, so it is made by descriptors;
// `rm -rf` removes it.
void generateDeepTree(const std::string& root, int levels, std::size_t nameLength = 255,
                      bool siblings = true, int files = 1);

}  // namespace kelmora::bench
