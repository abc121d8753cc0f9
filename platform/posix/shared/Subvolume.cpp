// SPDX-License-Identifier: MIT
#include "platform/posix/shared/Subvolume.h"

#include <linux/btrfs.h>
#include <linux/btrfs_tree.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace kelmora::platform::posix {

std::optional<Subvolume> subvolumeAt(int fd) {
    struct stat self {};
    if (fstat(fd, &self) != 0 || !S_ISDIR(self.st_mode) || self.st_ino != kSubvolumeRootInode)
        return std::nullopt;
    // Asked of the folder's own subvolume; any user may ask it (Linux 4.18 and later).
    btrfs_ioctl_get_subvol_info_args info{};
    if (ioctl(fd, BTRFS_IOC_GET_SUBVOL_INFO, &info) < 0) return std::nullopt;
    return Subvolume{info.treeid, (info.flags & BTRFS_ROOT_SUBVOL_RDONLY) != 0};
}

}  // namespace kelmora::platform::posix
