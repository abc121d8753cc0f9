// SPDX-License-Identifier: MIT
#pragma once

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace kelmora::platform::posix {

// One entry of a folder as the kernel lists it: no stat, no link followed.
struct Dirent {
    std::uint64_t inode;
    unsigned char type;  // DT_REG, DT_DIR, ... or DT_UNKNOWN where the file system does not say
    const char* name;    // zero-terminated, valid until `take` returns
};

// Lists the folder open at `fd` with Linux's getdents64 straight into `buffer` (which must not be
// empty), handing `take` every entry, "." and ".." included; `take` returns false to stop. A
// directory stream would make the same calls, plus an fstat and a buffer allocation per folder.
// The end of the folder and a failing read both end the listing: what was read stands. True when
// the listing reached the folder's end.
template <typename Take>
bool readDirents(int fd, std::vector<char>& buffer, Take take) {
    // The layout of the kernel's linux_dirent64 records: inode (8 bytes), offset (8), record
    // length (2), type (1), then the name with its terminating zero.
    constexpr std::size_t kRecordLengthAt = 16, kTypeAt = 18, kNameAt = 19;
    for (;;) {
        const long read = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (read <= 0) return read == 0;
        for (long at = 0; at < read;) {
            const char* record = buffer.data() + at;
            unsigned short length = 0;
            std::memcpy(&length, record + kRecordLengthAt, sizeof length);
            Dirent entry{0, static_cast<unsigned char>(record[kTypeAt]), record + kNameAt};
            std::memcpy(&entry.inode, record, sizeof entry.inode);
            at += length;
            if (!take(entry)) return false;
        }
    }
}

}  // namespace kelmora::platform::posix
