#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace kelmora::test {

// Makes or overwrites the file at `path` with `bytes`.
inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace kelmora::test
