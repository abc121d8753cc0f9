// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>

namespace kelmora::platform::posix {

// btrfs keeps a file system's trees in subvolumes. Each subvolume's root folder has inode 256
// and a device number of its own, while the folder listing that holds it names it by the
// subvolume's id instead, and a snapshot may be made read-only.
inline constexpr std::uint64_t kSubvolumeRootInode = 256;

struct Subvolume {
    std::uint64_t id = 0;   // the subvolume's id, which its parent's listing gives as its number
    bool readOnly = false;  // a read-only snapshot: nothing in it can be removed
};

// The subvolume whose root the open folder `fd` is (any descriptor that can be read will do);
// nothing when it is not a btrfs subvolume's root or btrfs will not tell (an old kernel).
std::optional<Subvolume> subvolumeAt(int fd);

}  // namespace kelmora::platform::posix
