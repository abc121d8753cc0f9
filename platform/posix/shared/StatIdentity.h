#pragma once

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/FileIdentity.h"

namespace kelmora::platform::posix {

// The identity of a file as POSIX tells it: st_dev and st_ino, as stat, fstat and fstatat give
// them. A listing and the remover must both fill FileIdentity this way to compare equal.
inline FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), {}};
}

// The same from statx, whose device comes in two halves.
inline FileIdentity identityOf(const struct statx& sx) {
    return {static_cast<std::uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor)),
            static_cast<std::uint64_t>(sx.stx_ino),
            {}};
}

// Which mount the file lies on: the kernel's mount id when statx was asked for STATX_MNT_ID and
// gave it (Linux 5.8 and later), else its device, with which bind mounts of one file system look
// alike. Keys from one system compare equal exactly when the files share a mount.
inline std::uint64_t mountKeyOf(const struct statx& sx) {
    return (sx.stx_mask & STATX_MNT_ID) != 0 ? sx.stx_mnt_id : identityOf(sx).device;
}

}  // namespace kelmora::platform::posix
