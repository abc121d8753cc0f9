// SPDX-License-Identifier: MIT
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace kelmora::platform::posix {

// Hands every line of the file at `path` to `take`, without its newline, reading it in blocks so
// that memory stays small whatever the size of the file; false when it cannot be opened or read
// to its end (the lines read before the failure have been handed over).
template <typename Take>
bool forEachLine(const std::string& path, Take take) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string pending;
    char block[65536];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        std::string_view rest(block, static_cast<std::size_t>(n));
        for (auto cut = rest.find('\n'); cut != std::string_view::npos; cut = rest.find('\n')) {
            if (pending.empty()) {
                take(rest.substr(0, cut));
            } else {
                pending.append(rest.substr(0, cut));
                take(std::string_view(pending));
                pending.clear();
            }
            rest.remove_prefix(cut + 1);
        }
        pending.append(rest);
    }
    close(fd);
    if (n < 0) return false;
    if (!pending.empty()) take(std::string_view(pending));
    return true;
}

}  // namespace kelmora::platform::posix
