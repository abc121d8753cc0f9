// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace kelmora::bench {

struct ShapeStats {
    std::uint64_t files = 0, folders = 0, links = 0;
};

// Copies the shape of the tree `from` to `to` (which must not exist): every folder, every regular
// file as a sparse file of the same size and name, every link with the same target text. Nothing
// else is copied, no link is followed and no mount below `from` is entered. A tree with the
// names, sizes and fan-out of a real one, laid out afresh on the benchmark's disk, for a walker
// to scan in its place.
ShapeStats copyShape(const std::string& from, const std::string& to);

}  // namespace kelmora::bench
