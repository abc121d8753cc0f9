// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kelmora::platform::posix {

// One line of /proc/self/mountinfo, reduced to what the walk needs.
struct Mount {
    std::uint64_t id = 0;  // the kernel's mount id, as statx reports it in stx_mnt_id
    unsigned major = 0;    // the device that statx reports for files of this mount
    unsigned minor = 0;
    std::string path;          // mount point as the kernel spells it, octal escapes decoded
    std::string type;          // file-system type, such as "ext4", "proc" or "fuse.sshfs"
    std::uint64_t parent = 0;  // the id of the mount it is mounted on
    std::string root = "/";    // the folder of its file system that it shows, decoded
    std::string source{};      // what was mounted, such as "/dev/sda2", decoded
};

// Reads the mount table text of /proc/self/mountinfo. Malformed lines are skipped.
std::vector<Mount> parseMountInfo(std::string_view text);

// The walk's allowlist of file systems that hold local files and answer from the kernel alone:
// ext2/3/4, xfs, btrfs, f2fs, jfs, reiserfs, bcachefs, zfs, nilfs2, vfat/msdos, exfat, ntfs/ntfs3,
// hfsplus and tmpfs. Everything else is not entered where it is mounted below the scan root: the
// kernel's pseudo file systems (proc, sysfs, devtmpfs, cgroup...), network ones (nfs, cifs,
// 9p...), every FUSE file system (fuse, fuseblk, fuse.*: a daemon answers, and can make any access
// hang), virtiofs, vboxsf, autofs (automount triggers), read-only images (squashfs, iso9660, erofs)
// and overlay (a merged view of layer folders that the walk reaches where they are; its lower
// layers may be any file system, remote ones included). The scan root itself is always entered.
bool isLocalFileSystem(std::string_view type);
// The same allowlist by statfs's f_type, to confirm an opened folder's file system.
bool isLocalFileSystemMagic(std::int64_t magic);

// The block device that holds `mount`'s files: the table's device, or for a file system that
// reports an anonymous device there (btrfs), the device file its source names, where it is one.
std::pair<unsigned, unsigned> mediumOf(const Mount& mount);

// True when the block device major:minor is removable media: the kernel's removable flag of the
// device, or for a partition of its disk, read below `sysfs` (/sys). False for devices without a
// block device entry (tmpfs, btrfs subvolumes and other anonymous devices).
bool isRemovableBlockDevice(const std::string& sysfs, unsigned major, unsigned minor);

// The path of the open file or folder `fd` as the kernel spells it, the mount table's spelling
// (read from /proc/self/fd); empty when it cannot be told (no /proc, or the folder was removed).
std::string tablePathOf(int fd);

// The walk's rule for one mount below the scan root: entered when its type is on the allowlist,
// it is not on removable media and it is not mounted where the desktop mounts other drives
// (/media, /run/media). Removable and desktop-mounted media are other drives, as D: is on Windows.
bool entersMount(const Mount& mount, bool removable);

// Which mounts the walk enters, decided by mount id (and device) from the kernel's mount table.
//
// Every file is listed at most once: once the scan root is admitted, a mount below it is not
// entered when the walk already enters another mount of the same device (the same file system)
// whose shown folder is the same as its own or one of its ancestors: a bind mount of a folder of a
// file system that the walk enters elsewhere, or a file system mounted twice. Of two mounts that
// show the same folder, the one first in the table is entered; the scan root's own mount is always
// entered, and what it shows is the scan root's folder. Only mounts the walk can reach count:
// below the scan root, not covered by a later mount at the same place, and reached through mounts
// it enters. A mount that shows an ancestor of the scan root's folder is entered: it holds more
// than the scan root, and the walk skips the scan root by identity where it meets it again there.
class MountPolicy {
  public:
    using TableReader = std::function<std::string()>;
    using RemovableCheck = std::function<bool(unsigned major, unsigned minor)>;

    MountPolicy(TableReader readTable, RemovableCheck removable);

    // Reads the table afresh and forgets every decision; called at each scan start.
    void refresh();
    // True when the table names a mount point in `folder` (a path ending in "/"). The walk looks
    // closely (statx) only at the subfolders of such folders; a mount point it did not expect is
    // still caught when the folder is opened, and then refused.
    bool mayHoldMountPoints(const std::string& folder) const {
        // A deep folder is not hashed whole at every level: longer than every parent, it is none.
        return folder.size() <= longestParent_ && mountParents_.contains(folder);
    }
    // False when the table puts `path` (absolute, as spelled) on a mount the walk does not enter,
    // so that nothing there is looked at: looking could wake an automounter or wait for a network
    // file system. Text decides here only what is left alone, never what is entered.
    bool mayLookInto(std::string_view path);
    // The scan root's own mount, entered whatever its type, until the next refresh; `rootPath` is
    // the scan root as the kernel spells it (the mount table's spelling), empty when unknown, in
    // which case no mount is left out as showing files listed elsewhere.
    void admit(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor,
               const std::string& rootPath = {});
    // True when the walk enters the mount `mountId` (nothing where the kernel does not report
    // mount ids: then the mount is found by device), whose files report device major:minor. btrfs
    // gives each subvolume an anonymous device of its own, never the one the table names, so a
    // btrfs mount is known by its id alone. A mount
    // the table does not know, or knows with another device (its id was reused), makes the policy
    // read the table again, once per mount id; one that is still unknown is not entered. A mount
    // whose files the walk lists through another mount (see the class comment) is not entered.
    bool enters(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor);
    // True when the mount holds local files that may be looked at, as far as its type, medium and
    // place tell, whether or not the walk enters it to list them.
    bool mayLook(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor);
    // The table as read last.
    const std::vector<Mount>& table() const { return mounts_; }
    // True when the path of `mount` can be looked up without asking anything but the kernel and
    // local file systems: every mount it lies on (its parents) is local, or the system's root.
    bool resolvesLocally(const Mount& mount) const;

  private:
    void load();
    void leaveOutDuplicates();
    const Mount* find(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor) const;

    TableReader readTable_;
    RemovableCheck removable_;
    std::vector<Mount> mounts_;
    std::unordered_set<std::string> mountParents_;  // the folders holding mount points, with "/"
    std::size_t longestParent_ = 0;                 // the longest of them
    struct Decision {
        unsigned major, minor;
        bool entered;
    };
    std::unordered_map<std::uint64_t, Decision> decided_;  // by mount id
    std::unordered_set<std::uint64_t> rereadFor_;  // unknown ids the table was read again for
    struct Admitted {
        std::optional<std::uint64_t> mountId;
        unsigned major, minor;
    };
    std::optional<Admitted> admitted_;  // the scan root's own mount, entered whatever its type
    std::string rootPath_;              // the scan root, as the kernel spells it; empty: unknown
    std::unordered_set<std::uint64_t> duplicates_;  // mounts whose files are listed elsewhere
};

}  // namespace kelmora::platform::posix
