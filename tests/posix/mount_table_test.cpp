// SPDX-License-Identifier: MIT
#include "platform/posix/mounts/MountTable.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

TEST(MountTable, ReadsIdsDevicesMountPointsAndTypesPastOptionalFields) {
    const auto mounts = parseMountInfo(
        "21 26 0:20 / /proc rw,nosuid - proc proc rw\n"
        "26 1 254:1 / / rw,relatime shared:1 master:2 - ext4 /dev/vda rw\n"
        "30 26 8:17 / /mnt/my\\040disk rw - vfat /dev/sdb1 rw\n"
        "broken line\n");
    ASSERT_EQ(mounts.size(), 3U);
    EXPECT_EQ(mounts[0].id, 21U);
    EXPECT_EQ(mounts[0].path, "/proc");
    EXPECT_EQ(mounts[0].type, "proc");
    EXPECT_EQ(mounts[1].major, 254U);
    EXPECT_EQ(mounts[1].minor, 1U);
    EXPECT_EQ(mounts[1].type, "ext4");
    EXPECT_EQ(mounts[2].path, "/mnt/my disk");
    EXPECT_EQ(mounts[2].minor, 17U);
}

TEST(MountTable, EntersLocalDisksButNoPseudoRemoteFuseRemovableOrDesktopMountedMedia) {
    const auto at = [](const char* path, const char* type) { return Mount{1, 8, 1, path, type}; };
    for (const char* type : {"ext4", "xfs", "btrfs", "vfat", "exfat", "ntfs3", "zfs", "tmpfs"})
        EXPECT_TRUE(entersMount(at("/data", type), false)) << type;
    for (const char* type :
         {"proc", "sysfs", "cgroup2", "autofs", "nfs4", "cifs", "fuse", "fuseblk", "fuse.sshfs",
          "virtiofs", "vboxsf", "davfs", "9p", "ramfs", "squashfs", "overlay"})
        EXPECT_FALSE(entersMount(at("/data", type), false)) << type;
    EXPECT_FALSE(entersMount(at("/data", "ext4"), /*removable=*/true));
    EXPECT_FALSE(entersMount(at("/media/jana/USB", "vfat"), false));
    EXPECT_FALSE(entersMount(at("/run/media/jana/USB", "exfat"), false));
    EXPECT_TRUE(entersMount(at("/mediathek", "ext4"), false));
    EXPECT_TRUE(isLocalFileSystemMagic(0xEF53));       // ext2/3/4
    EXPECT_FALSE(isLocalFileSystemMagic(0x65735546));  // FUSE
}

TEST(MountTable, RemovableFlagOfTheDiskCountsForItsPartitions) {
    test::TempTree sys;
    const auto write = [&](const std::string& rel, const char* text) {
        sys.file(rel);
        std::ofstream(sys.path(rel)) << text;
    };
    write("devices/usb1/block/sdb/removable", "1\n");
    write("devices/usb1/block/sdb/sdb1/partition", "1\n");
    write("devices/pci0/block/vda/removable", "0\n");
    write("devices/pci0/block/vda/vda1/partition", "1\n");
    sys.symlink("../../devices/usb1/block/sdb", "dev/block/8:16");
    sys.symlink("../../devices/usb1/block/sdb/sdb1", "dev/block/8:17");
    sys.symlink("../../devices/pci0/block/vda/vda1", "dev/block/254:1");
    EXPECT_TRUE(isRemovableBlockDevice(sys.root(), 8, 16));
    EXPECT_TRUE(isRemovableBlockDevice(sys.root(), 8, 17));
    EXPECT_FALSE(isRemovableBlockDevice(sys.root(), 254, 1));
    EXPECT_FALSE(isRemovableBlockDevice(sys.root(), 0, 44));  // tmpfs and the like: no device
}

TEST(MountTable, PolicyReadsTheTableAgainOnceForAMountItDoesNotKnow) {
    int reads = 0;
    std::string table = "26 1 254:1 / / rw - ext4 /dev/vda rw\n";
    MountPolicy policy([&] { return ++reads, table; }, [](unsigned, unsigned) { return false; });
    policy.refresh();
    EXPECT_TRUE(policy.enters(26, 254, 1));
    EXPECT_EQ(reads, 1);

    table +=
        "40 26 0:50 / /home/u/mnt rw - fuse.sshfs host: rw\n"
        "41 26 254:2 / /srv rw - xfs /dev/vdb rw\n";
    EXPECT_TRUE(policy.enters(41, 254, 2));  // mounted since the scan began
    EXPECT_FALSE(policy.enters(40, 0, 50));
    EXPECT_EQ(reads, 2);
    EXPECT_FALSE(policy.enters(77, 0, 60));  // unknown after reading again: not entered
    EXPECT_FALSE(policy.enters(77, 0, 60));
    EXPECT_EQ(reads, 3);
    // An id that now reports another device was reused by a new mount: not the one decided on.
    EXPECT_FALSE(policy.enters(41, 0, 80));
    policy.admit(99, 0, 70);  // the scan root's own mount, whatever its type
    EXPECT_TRUE(policy.enters(99, 0, 70));

    // What lies on a mount not entered is not even looked at, by the table's own spelling.
    EXPECT_FALSE(policy.mayLookInto("/home/u/mnt/x"));
    EXPECT_TRUE(policy.mayLookInto("/home/u/mnt2"));
    EXPECT_TRUE(policy.mayLookInto("/srv/data"));
}

TEST(MountTable, EntersEachFolderOfAFileSystemThroughOneMountOnly) {
    std::string table =
        "26 1 254:1 / / rw - ext4 /dev/vda rw\n"
        "40 26 254:1 /home/u/data /srv/data rw - ext4 /dev/vda rw\n"  // a folder bound again
        "41 26 254:1 / /mnt/again rw - ext4 /dev/vda rw\n"            // mounted twice
        "42 26 254:2 / /a rw - xfs /dev/vdb rw\n"
        "43 26 254:2 / /b rw - xfs /dev/vdb rw\n"  // the same root as 42, later in the table
        "44 26 254:2 /sub /c rw - xfs /dev/vdb rw\n"
        "45 26 254:3 /x /d rw - ext4 /dev/vdc rw\n"  // below what 46 shows, though first
        "46 26 254:3 / /e rw - ext4 /dev/vdc rw\n"
        "47 26 254:4 / /f rw - ext4 /dev/vdd rw\n"
        "48 47 0:30 / /f rw - tmpfs tmpfs rw\n"  // covers 47: the walk never reaches it
        "49 26 254:4 /y /h rw - ext4 /dev/vdd rw\n"
        "50 26 0:40 / /proc rw - proc proc rw\n"
        "51 50 254:5 / /proc/x rw - ext4 /dev/vde rw\n"  // on a mount not entered
        "52 26 254:5 /z /z rw - ext4 /dev/vde rw\n";
    MountPolicy policy([&] { return table; }, [](unsigned, unsigned) { return false; });
    policy.refresh();
    policy.admit(26, 254, 1, "/");
    const auto entered = [&](std::uint64_t id) {
        for (const auto& m : policy.table())
            if (m.id == id) return policy.enters(id, m.major, m.minor);
        return false;
    };
    for (const std::uint64_t id : {42, 46, 48, 49, 52}) EXPECT_TRUE(entered(id)) << id;
    for (const std::uint64_t id : {40, 41, 43, 44, 45, 50}) EXPECT_FALSE(entered(id)) << id;
    EXPECT_TRUE(policy.mayLook(40, 254, 1)) << "its files are there to look at, through /";

    // Scanning a folder: what the root's mount shows is that folder. A mount showing more of
    // the file system is entered (the scan root is skipped where it is met again); mounts that
    // lie elsewhere do not count.
    table =
        "26 1 254:1 / / rw - ext4 /dev/vda rw\n"
        "60 26 254:1 /srv /srv/scan/up rw - ext4 /dev/vda rw\n"
        "61 26 254:1 /srv/scan/x /srv/scan/dup rw - ext4 /dev/vda rw\n"
        "62 26 254:1 /other /srv/scan/other rw - ext4 /dev/vda rw\n"
        "63 26 254:6 / /elsewhere rw - ext4 /dev/vdf rw\n"
        "64 26 254:6 / /srv/scan/m rw - ext4 /dev/vdf rw\n";
    policy.refresh();
    policy.admit(26, 254, 1, "/srv/scan");
    for (const std::uint64_t id : {60, 62, 64}) EXPECT_TRUE(entered(id)) << id;
    EXPECT_FALSE(entered(61));
    // Where the scan root's spelling is unknown, nothing is left out.
    policy.refresh();
    policy.admit(26, 254, 1);
    EXPECT_TRUE(entered(61));
}

}  // namespace
}  // namespace kelmora::platform::posix
