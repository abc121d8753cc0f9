#include "platform/posix/MountTable.h"

#include <gtest/gtest.h>

namespace kelmora::platform::posix {
namespace {

TEST(MountTable, ReadsMountPointsAndTypesPastOptionalFields) {
    const auto mounts = parseMountInfo(
        "21 26 0:20 / /proc rw,nosuid - proc proc rw\n"
        "26 1 254:1 / / rw,relatime shared:1 master:2 - ext4 /dev/vda rw\n"
        "30 26 0:40 / /mnt/my\\040disk rw - vfat /dev/sdb1 rw\n"
        "broken line\n");
    ASSERT_EQ(mounts.size(), 3U);
    EXPECT_EQ(mounts[0].path, "/proc");
    EXPECT_EQ(mounts[0].type, "proc");
    EXPECT_EQ(mounts[1].path, "/");
    EXPECT_EQ(mounts[1].type, "ext4");
    EXPECT_EQ(mounts[2].path, "/mnt/my disk");
    EXPECT_EQ(mounts[2].type, "vfat");
}

TEST(MountTable, PseudoAndRemoteTypesAreSystemLocalDisksAreNot) {
    for (const char* type : {"proc", "sysfs", "cgroup2", "autofs", "nfs4", "cifs", "fuse.sshfs",
                             "fuse.gvfsd-fuse", "9p"})
        EXPECT_TRUE(isSystemFileSystem(type)) << type;
    for (const char* type : {"ext4", "xfs", "btrfs", "vfat", "exfat", "ntfs", "tmpfs", "overlay"})
        EXPECT_FALSE(isSystemFileSystem(type)) << type;
}

TEST(MountTable, RootMountTrashAndNestedMountTrash) {
    SystemFolders folders({{"/", "ext4"}, {"/proc", "proc"}, {"/media/usb", "vfat"}},
                          "/home/u/.local/share/Trash");
    EXPECT_TRUE(folders.contains("/", "proc"));
    EXPECT_TRUE(folders.contains("/", ".Trash"));
    EXPECT_TRUE(folders.contains("/media/usb/", ".Trash-1000"));
    EXPECT_TRUE(folders.contains("/home/u/.local/share/", "Trash"));
    EXPECT_FALSE(folders.contains("/home/u/", ".Trash"));  // not the top of a mount
    EXPECT_FALSE(folders.contains("/", "home"));
    EXPECT_FALSE(folders.contains("/media/", "usb"));
}

}  // namespace
}  // namespace kelmora::platform::posix
