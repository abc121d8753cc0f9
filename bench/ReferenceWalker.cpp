// SPDX-License-Identifier: MIT
#include "bench/ReferenceWalker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace kelmora::bench {
namespace {

// The head of the kernel's linux_dirent64 record; the name follows it at byte 19.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
};
constexpr std::size_t kNameOffset = 19;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool matchesMask(const char* name, std::size_t length) {
    if (length < 4) return false;
    const char* tail = name + length - 4;
    if (tail[0] == '.' && tail[1] == '~') return true;
    if (tail[0] != '.') {
        // Two multi-byte characters after ".~" make the tail longer than four bytes.
        const char* dot = static_cast<const char*>(memrchr(name, '~', length));
        return dot && dot > name && dot[-1] == '.' && length - (dot - name) <= 9 &&
               (static_cast<unsigned char>(dot[1]) & 0x80);
    }
    static const char* const kExtensions[] = {"---", "___", "bak", "diz", "gid",
                                              "chk", "old", "syd", "tmp"};
    const char ext[3] = {lower(tail[1]), lower(tail[2]), lower(tail[3])};
    for (const char* e : kExtensions)
        if (e[0] == ext[0] && e[1] == ext[1] && e[2] == ext[2]) return true;
    return false;
}

WalkResult referenceWalk(const std::string& root) {
    WalkResult result;
    std::vector<std::string> pending{root};
    std::vector<char> buffer(1 << 16);
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        for (;;) {
            const long n = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                const auto* ent = reinterpret_cast<const LinuxDirent64*>(buffer.data() + at);
                at += ent->d_reclen;
                const char* name = buffer.data() + at - ent->d_reclen + kNameOffset;
                if (ent->d_type == DT_DIR) {
                    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                        continue;
                    pending.push_back(folder + "/" + name);
                } else if (ent->d_type == DT_REG && matchesMask(name, std::strlen(name))) {
                    struct stat st {};
                    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                        ++result.matches;
                        result.bytes += static_cast<std::uint64_t>(st.st_size);
                    }
                }
            }
        }
        close(fd);
    }
    return result;
}

}  // namespace kelmora::bench
