// SPDX-License-Identifier: MIT
#include "platform/posix/mounts/MountTop.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/shared/StatIdentity.h"

namespace kelmora::platform::posix {
namespace {

constexpr unsigned kWanted = STATX_INO | STATX_MNT_ID;

}  // namespace

std::optional<std::uint64_t> mountKeyOfFd(int fd) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, kWanted, &sx) != 0) return std::nullopt;
    return mountKeyOf(sx);
}

std::optional<MountTop> findMountTop(int folderFd, std::uint64_t mountKey) {
    MountTop top{UniqueFd(::openat(folderFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC)), 0};
    if (!top.folder) return std::nullopt;
    struct statx here {};
    if (::statx(top.folder.get(), "", AT_EMPTY_PATH, kWanted, &here) != 0) return std::nullopt;
    for (;;) {
        // ".." of a mount's top folder is the parent of its mount point, on the mount below.
        UniqueFd up(::openat(top.folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!up) return std::nullopt;
        struct statx above {};
        if (::statx(up.get(), "", AT_EMPTY_PATH, kWanted, &above) != 0) return std::nullopt;
        const bool atRoot =
            numberOf(above) == numberOf(here) && mountKeyOf(above) == mountKeyOf(here);
        if (atRoot || mountKeyOf(above) != mountKey) return top;
        top.folder = std::move(up);
        here = above;
        ++top.depth;
    }
}

}  // namespace kelmora::platform::posix
