// SPDX-License-Identifier: MIT
// The input is one package's list of files, read as dpkg's info/<package>.list and its
// diversions and as pacman's local/<package>/files, each from a database folder of its own in a
// temporary folder: every path handed over is absolute, under the root it was installed into, and
// its name passed the filter.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/listing/DpkgDatabase.h"
#include "platform/posix/listing/PacmanDatabase.h"

using namespace kelmora::platform::posix;

namespace {

const std::string& folder() {
    static const std::string made = [] {
        std::string pattern = std::filesystem::temp_directory_path() / "kelmora-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        std::filesystem::create_directories(pattern + "/dpkg/info");
        std::filesystem::create_directories(pattern + "/pacman/local/p-1-1");
        return pattern;
    }();
    return made;
}

void write(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& top = folder();
    for (const char* path : {"/dpkg/info/p.list", "/dpkg/diversions", "/pacman/local/p-1-1/files"})
        write(top + path, data, size);
    const auto named = [](std::string_view name) { return name.ends_with(".tmp"); };
    const auto check = [&](std::string_view root) {
        return [=](std::string_view path) {
            if (!path.starts_with(root) || !named(lastPart(path))) __builtin_trap();
        };
    };
    DpkgDatabase(top + "/dpkg").read(named, check("/"));
    PacmanDatabase("/installed", top + "/pacman").read(named, check("/installed/"));
    return 0;
}
