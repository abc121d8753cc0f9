// SPDX-License-Identifier: MIT
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace kelmora::test {

// Makes or overwrites the file at `path` with `bytes`.
inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    if (in) out << in.rdbuf();  // whole buffers at a time, which large files need
    return out.str();
}

}  // namespace kelmora::test
