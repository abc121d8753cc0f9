// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {

// The top folder of a mount (the freedesktop.org trash specification's $topdir) as seen from a
// folder on it.
struct MountTop {
    UniqueFd folder;        // an O_PATH descriptor of the top folder
    std::size_t depth = 0;  // how many folders down from it the starting folder lies (0: itself)
};

// Finds the top of the mount that `folderFd` lies on, by identity rather than by path text: it
// walks ".." up from the folder while the mount stays the one of `mountKey` (see mountKeyOf), so
// bind mounts and mounts of one device are told apart. The walk stops at the root of this
// process's file system. Nothing on failure, with errno set.
std::optional<MountTop> findMountTop(int folderFd, std::uint64_t mountKey);

// The mount key of the file `fd` refers to; nothing on failure, with errno set.
std::optional<std::uint64_t> mountKeyOfFd(int fd);

}  // namespace kelmora::platform::posix
