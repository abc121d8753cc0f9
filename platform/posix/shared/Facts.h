// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>

#include "platform/FileIdentity.h"

namespace kelmora::platform::posix {

// A file's change and modification times, in nanoseconds since the epoch. A folder's change when
// an entry is made, removed or renamed in it, so equal times tell an unchanged listing.
struct ChangeTimes {
    std::int64_t change = 0;
    std::int64_t modify = 0;
    bool operator==(const ChangeTimes&) const = default;
};

// What the walk reads of one file or folder: statx without following a link, without triggering
// an automount and without asking a remote server or a FUSE daemon (AT_STATX_DONT_SYNC: the file
// system answers from what it holds, and a mount's root, FUSE or not, from the kernel alone).
struct Facts {
    FileIdentity id;  // device as st_dev encodes it, inode, and the witness when it was read
    unsigned major = 0;
    unsigned minor = 0;
    std::optional<std::uint64_t> mountId;  // nothing on kernels that do not report it
    std::uint32_t mode = 0;                // the S_IFMT bits
    std::int64_t size = 0;
    std::uint32_t links = 0;  // how many names the file has
    ChangeTimes times;
    bool mountRoot = false;       // the root of a mount, where the kernel tells it
    bool mountRootKnown = false;  // the kernel tells whether it is one
    bool automount = false;       // an automount point not yet mounted
    // On btrfs, where a listing may give a subvolume's id as a folder's number; told by statfs,
    // which FolderChain asks of the folders it opens, never by statx.
    bool btrfs = false;

    bool isFolder() const;
    bool isRegularFile() const;
};

// Whether the identity's witness is read (see StatIdentity.h), or the number alone is enough: a
// number compares only by sameNumber. Reading it may open the file or folder, which a caller
// that has not yet decided to enter a mount must not do.
enum class Witness { Read, Skip };

// The entry `name` of the open folder `dirFd`; nothing when it cannot be read (gone, denied).
std::optional<Facts> factsAt(int dirFd, const char* name, Witness witness = Witness::Read);
// The open file or folder `fd` itself (an O_PATH descriptor will do).
std::optional<Facts> factsOf(int fd, Witness witness = Witness::Read);
// True when both lie on the same mount (the same device where mount ids are not reported).
bool sameMount(const Facts& a, const Facts& b);

}  // namespace kelmora::platform::posix
