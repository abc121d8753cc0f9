// SPDX-License-Identifier: MIT
// Scans across real mounts made in temporary folders. Making mounts needs root (CAP_SYS_ADMIN);
// each test skips where the machine does not let it mount.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fuse.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/posix/listing/DpkgDatabase.h"
#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/removal/PosixFileRemover.h"
#include "platform/posix/removal/TrashFolders.h"
#include "scan/Masks.h"
#include "tests/support/ReadAheadWatch.h"
#include "tests/support/ScanTree.h"
#include "tests/support/TempTree.h"
#include "tests/support/posix/ScratchMounts.h"

namespace kelmora {
namespace {

using platform::posix::PosixFileSystem;
using ::testing::UnorderedElementsAre;

// A file system mounted for the length of a test, detached at its end.
class ScopedMount {
  public:
    ScopedMount(const std::string& type, const std::string& at, const std::string& options = {},
                unsigned long flags = 0, const std::string& source = "kelmora-test")
        : at_(at) {
        mounted_ = mount(source.c_str(), at.c_str(), type.empty() ? nullptr : type.c_str(), flags,
                         options.empty() ? nullptr : options.c_str()) == 0;
    }
    ~ScopedMount() {
        if (mounted_) umount2(at_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

  private:
    std::string at_;
    bool mounted_ = false;
};

// Runs `onTimeout` on a thread of its own unless finish() comes within 30 s: a test that could
// wait for ever on a FUSE daemon has the daemon ended, which fails the waiting request and lets the
// test report it. `onTimeout` runs holding lock(), which guards what it shares with the test.
class Watchdog {
  public:
    explicit Watchdog(std::function<void()> onTimeout)
        : thread_([this, onTimeout = std::move(onTimeout)] {
              std::unique_lock<std::mutex> held(lock_);
              if (!done_.wait_for(held, std::chrono::seconds(30), [this] { return finished_; }))
                  onTimeout();
          }) {}
    ~Watchdog() { finish(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    std::mutex& lock() { return lock_; }
    void finish() {
        {
            std::lock_guard<std::mutex> held(lock_);
            finished_ = true;
        }
        done_.notify_one();
        if (thread_.joinable()) thread_.join();
    }

  private:
    std::mutex lock_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

// A FUSE file system whose daemon answers the kernel's greeting and nothing else: any access
// that reaches it waits until the daemon ends. The daemon is a child process that reports every
// request's opcode through a pipe; it is killed when this object goes.
class SilentFuse {
  public:
    explicit SilentFuse(const std::string& at) : at_(at) {
        const int device = open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (device < 0) return;
        const std::string options =
            "fd=" + std::to_string(device) + ",rootmode=40000,user_id=0,group_id=0,allow_other";
        if (mount("silent", at.c_str(), "fuse.silent", MS_NOSUID | MS_NODEV, options.c_str()) !=
            0) {
            close(device);
            return;
        }
        attached_ = true;
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            close(device);
            return;
        }
        daemon_ = fork();
        if (daemon_ == 0) {
            close(pipeFds[0]);
            serve(device, pipeFds[1]);
        }
        close(device);
        close(pipeFds[1]);
        reports_ = pipeFds[0];
        // Ready once the daemon has answered the kernel's greeting.
        pollfd p{reports_, POLLIN, 0};
        std::uint32_t opcode = 0;
        mounted_ = daemon_ > 0 && poll(&p, 1, 10000) > 0 &&
                   read(reports_, &opcode, sizeof opcode) == sizeof opcode && opcode == FUSE_INIT;
    }
    // Ends the daemon, which fails every request still waiting, then detaches the mount.
    ~SilentFuse() {
        if (daemon_ > 0) {
            kill(daemon_, SIGKILL);
            waitpid(daemon_, nullptr, 0);
        }
        if (attached_) umount2(at_.c_str(), MNT_DETACH);
        if (reports_ >= 0) close(reports_);
    }
    bool mounted() const { return mounted_; }
    void killDaemon() {
        if (daemon_ > 0) kill(daemon_, SIGKILL);
    }
    // The opcodes of the requests that reached the daemon since its greeting.
    std::vector<unsigned> requests() {
        std::vector<unsigned> seen;
        pollfd p{reports_, POLLIN, 0};
        std::uint32_t opcode = 0;
        while (poll(&p, 1, 0) > 0 && read(reports_, &opcode, sizeof opcode) == sizeof opcode)
            seen.push_back(opcode);
        return seen;
    }

  private:
    [[noreturn]] static void serve(int device, int reports) {
        static char buffer[1 << 20];
        for (;;) {
            const ssize_t n = read(device, buffer, sizeof buffer);
            if (n <= 0) _exit(0);
            fuse_in_header in{};
            std::memcpy(&in, buffer, sizeof in);
            if (write(reports, &in.opcode, sizeof in.opcode) < 0) _exit(1);
            if (in.opcode != FUSE_INIT) continue;  // never answered
            fuse_init_in init{};
            std::memcpy(&init, buffer + sizeof in, sizeof init);
            struct {
                fuse_out_header header;
                fuse_init_out init;
            } out{};
            out.header.len = sizeof out;
            out.header.unique = in.unique;
            out.init.major = FUSE_KERNEL_VERSION;
            out.init.minor = std::min<std::uint32_t>(init.minor, FUSE_KERNEL_MINOR_VERSION);
            out.init.max_readahead = init.max_readahead;
            out.init.max_write = 65536;
            if (write(device, &out, sizeof out) < 0) _exit(1);
        }
    }
    std::string at_;
    pid_t daemon_ = -1;
    int reports_ = -1;
    bool attached_ = false;  // mounted, whether or not the daemon answered
    bool mounted_ = false;   // mounted and answered
};

// The running system's mount table and sysfs, no trash, no package database.
PosixFileSystem::Sources realMounts() {
    auto sources = PosixFileSystem::systemSources(
        [](std::string_view name) { return isListableName(NativeStringView(name)); });
    sources.trashLocations = {};
    sources.packageDatabases.clear();
    return sources;
}

TEST(PosixMounts, EntersLocalDiskMountsOnlyAndNeverAsksAFuseDaemon) {
    test::TempTree tree;
    for (const char* name : {"ramfs", "proc", "tmpfs", "fuse"}) tree.folder(name);
    ScopedMount tmpfs("tmpfs", tree.path("tmpfs"));
    if (!tmpfs.mounted()) GTEST_SKIP() << "this process cannot mount (needs CAP_SYS_ADMIN)";
    ScopedMount ramfs("ramfs", tree.path("ramfs"));
    ScopedMount proc("proc", tree.path("proc"));
    ASSERT_TRUE(ramfs.mounted() && proc.mounted());
    tree.file("ramfs/in-ramfs.tmp", 1);
    tree.file("tmpfs/in-tmpfs.tmp", 1);
    tree.file("tmpfs/.Trash-0/files/thrown.tmp", 1);  // at the top of a mount: a trash folder
    // tmpfs takes files up to the 64-bit limit: two of them would wrap a plain sum.
    const std::int64_t most = std::numeric_limits<std::int64_t>::max();
    tree.file("tmpfs/huge1.tmp", static_cast<std::uintmax_t>(most));
    tree.file("tmpfs/huge2.tmp", static_cast<std::uintmax_t>(most));
    tree.file("plain.tmp", 1);
    SilentFuse fuse(tree.path("fuse"));
    const bool withFuse = fuse.mounted();
    // Another one mounted once the scan has read the mount table, where the table named none.
    tree.folder("later/fuse");
    std::optional<SilentFuse> late;

    // A scan that touched the FUSE mount would wait for its daemon for ever.
    Watchdog watchdog([&] {
        fuse.killDaemon();
        if (late) late->killDaemon();
    });
    PosixFileSystem fs(realMounts());
    const auto found = test::scanTree(fs, tree.root(), [&](MainState&) {
        std::lock_guard<std::mutex> held(watchdog.lock());
        if (withFuse && !late) late.emplace(tree.path("later/fuse"));
    });
    watchdog.finish();

    EXPECT_THAT(found.relative, UnorderedElementsAre("plain.tmp", "tmpfs/in-tmpfs.tmp",
                                                     "tmpfs/huge1.tmp", "tmpfs/huge2.tmp"));
    EXPECT_EQ(found.foundBytes, most);
    EXPECT_EQ(found.view.freed, std::to_string(most / 1024) + " KB");
    if (withFuse) {
        EXPECT_THAT(fuse.requests(), ::testing::IsEmpty())
            << "the scan asked the FUSE daemon something";
        ASSERT_TRUE(late && late->mounted());
        EXPECT_THAT(late->requests(), ::testing::IsEmpty())
            << "the scan asked the FUSE daemon mounted during the scan something";
    }
}

TEST(PosixMounts, PackageFileReachedThroughABindMountIsStillOwned) {
    test::TempTree tree, db;
    tree.file("usr/lib/x/libnss.chk", 10);
    tree.file("usr/lib/x/mine.chk", 10);
    tree.folder("elsewhere");
    db.folder("info");
    std::ofstream(db.path("info/libnss3.list")) << tree.path("usr/lib/x/libnss.chk") << "\n";
    ScopedMount bind("", tree.path("elsewhere"), {}, MS_BIND, tree.path("usr/lib/x"));
    if (!bind.mounted()) GTEST_SKIP() << "this process cannot mount (needs CAP_SYS_ADMIN)";
    auto sources = realMounts();
    sources.packageDatabases = {std::make_shared<platform::posix::DpkgDatabase>(db.root())};
    PosixFileSystem fs(sources);
    // The bind mount is entered where its file system is on the allowlist; either way the
    // package's file is offered under neither name.
    const auto found = test::scanTree(fs, tree.root()).relative;
    EXPECT_THAT(found, ::testing::Contains("usr/lib/x/mine.chk"));
    EXPECT_THAT(found, ::testing::Each(::testing::Not(::testing::EndsWith("libnss.chk"))));
}

TEST(PosixMounts, EveryFileIsListedOnceWhicheverMountsShowItAgain) {
    if (!test::ScratchMounts::available()) GTEST_SKIP() << "this process cannot make mounts";
    test::TempTree tree;
    test::ScratchMounts mounts;
    const auto at = [&](const std::string& rel) { return tree.path("outer/scan/" + rel); };
    tree.file("outer/scan/data/a.tmp", 1);
    // At the top of the bind mount below: a trash folder, whichever way the walk comes to it.
    tree.file("outer/scan/data/.Trash-1000/files/thrown.tmp", 1);
    tree.file("outer/sibling.tmp", 1);  // only shown by the mount of outer inside the scan
    tree.file("elsewhere/e.tmp", 1);    // outside: only shown by its bind mount
    ASSERT_TRUE(mounts.bind(at("data"), at("again")));  // a folder of the scan, again
    ASSERT_TRUE(mounts.bind(tree.path("elsewhere"), at("ext")));
    // Shows more than the scan root, the scan root among it.
    ASSERT_TRUE(mounts.bind(tree.path("outer"), at("up")));
    ASSERT_TRUE(mounts.tmpfs(at("t")));
    tree.file("outer/scan/t/inner/t.tmp", 1);
    ASSERT_TRUE(mounts.bind(at("t"), at("t2")));        // one tmpfs mounted twice
    ASSERT_TRUE(mounts.bind(at("t/inner"), at("t3")));  // and a folder of it again

    PosixFileSystem fs(realMounts());
    EXPECT_THAT(test::scanTree(fs, tree.path("outer/scan")).relative,
                UnorderedElementsAre("data/a.tmp", "t/inner/t.tmp", "ext/e.tmp", "up/sibling.tmp"));
}

TEST(PosixMounts, ReadAheadCrossesNoMountAndNeverAsksAFuseDaemon) {
    // Mounts one level down, where the read-ahead meets them in a listing of its own.
    test::TempTree tree, elsewhere;
    for (const char* name : {"m/tmpfs", "m/ramfs", "m/bind", "m/fuse"}) tree.folder(name);
    ScopedMount tmpfs("tmpfs", tree.path("m/tmpfs"));
    if (!tmpfs.mounted()) GTEST_SKIP() << "this process cannot mount (needs CAP_SYS_ADMIN)";
    ScopedMount ramfs("ramfs", tree.path("m/ramfs"));
    elsewhere.file("c/d/outside.tmp", 1);
    ScopedMount bind("", tree.path("m/bind"), {}, MS_BIND, elsewhere.root());
    ASSERT_TRUE(ramfs.mounted() && bind.mounted());
    tree.file("m/tmpfs/e/f/in-tmpfs.tmp", 1);
    tree.file("m/tmpfs/.Trash-0/files/g/thrown.tmp", 1);  // at the top of a mount: a trash folder
    tree.file("m/ramfs/h/i/in-ramfs.tmp", 1);
    SilentFuse fuse(tree.path("m/fuse"));
    Watchdog watchdog([&] { fuse.killDaemon(); });  // should anything wait for the daemon

    test::OpenedFolders opened;
    const auto walked = test::walk(test::readingAhead(opened, realMounts()), tree.root(), &opened);
    watchdog.finish();

    EXPECT_THAT(walked.found.relative, ::testing::Contains("m/tmpfs/e/f/in-tmpfs.tmp"));
    const auto read = opened.folders();
    EXPECT_FALSE(read.empty()) << "the read-ahead read nothing";
    for (const auto& folder : read)
        EXPECT_TRUE(walked.identities.contains(folder))
            << "the read-ahead opened inode " << folder.inode << " on device " << folder.device
            << ", which the walk never enters";
    if (fuse.mounted()) {
        EXPECT_THAT(fuse.requests(), ::testing::IsEmpty())
            << "the scan or its read-ahead asked the FUSE daemon something";
    }
}

// The trash at the top of a mount is known by identity whether or not the walk enters that mount:
// one on removable media, which the walk leaves alone, can be bind-mounted where the walk goes.
TEST(PosixMounts, TrashFoldersAtTheTopOfEveryLocalMountAreKnown) {
    if (!test::ScratchMounts::available()) GTEST_SKIP() << "this process cannot make mounts";
    test::TempTree tree;
    test::ScratchMounts mounts;
    ASSERT_TRUE(mounts.tmpfs(tree.path("usb")));
    tree.file("usb/.Trash-1000/files/thrown.tmp", 1);
    ASSERT_TRUE(mounts.bind(tree.path("usb/.Trash-1000"), tree.path("scanned/bound")));
    struct stat usb {};
    ASSERT_EQ(::stat(tree.path("usb").c_str(), &usb), 0);
    // The tmpfs stands for removable media, which the walk does not enter.
    platform::posix::MountPolicy policy(
        [] {
            std::ifstream in("/proc/self/mountinfo");
            return std::string(std::istreambuf_iterator<char>(in), {});
        },
        [&](unsigned major, unsigned minor) { return makedev(major, minor) == usb.st_dev; });
    policy.refresh();
    struct stat trash {};
    ASSERT_EQ(::stat(tree.path("usb/.Trash-1000").c_str(), &trash), 0);
    EXPECT_TRUE(platform::posix::resolveMountTrashFolders(policy).contains(test::numberOf(trash)));
}

// btrfs as Fedora and openSUSE install it: a whole btrfs below an ext4 or tmpfs folder, and the
// system's root and the homes as subvolumes mounted on their own, with subvolumes nested in them.
TEST(PosixMounts, BtrfsMountsAndWritableSubvolumesAreScannedOnceSnapshotsNever) {
    if (!test::ScratchMounts::available()) GTEST_SKIP() << "this process cannot make mounts";
    test::TempTree tree;
    test::ScratchMounts mounts;
    if (!mounts.btrfs(tree.path("bt"))) GTEST_SKIP() << "no btrfs here (btrfs-progs, loop)";
    const auto shell = [&](const std::string& command) {
        ASSERT_EQ(std::system(("cd '" + tree.path("bt") + "' && " + command).c_str()), 0);
    };
    shell(
        "btrfs -q subvolume create sub && btrfs -q subvolume create sub/nested && "
        "btrfs -q subvolume create fedroot && btrfs -q subvolume create fedhome && "
        "mkdir -p fedroot/var/lib fedhome/u && btrfs -q subvolume create fedroot/var/lib/machines");
    for (const char* file :
         {"outside.tmp", "bt/top.tmp", "bt/sub/s.tmp", "bt/sub/nested/n.tmp", "bt/fedroot/r.tmp",
          "bt/fedroot/var/lib/machines/m.tmp", "bt/fedhome/u/h.tmp"})
        tree.file(file, 1);
    // Read-only snapshots, as snapper and Timeshift keep them, inside the tree and at its top.
    shell(
        "btrfs -q subvolume snapshot -r sub snap && btrfs -q subvolume snapshot -r fedroot "
        "fedroot/snap");
    ASSERT_TRUE(mounts.btrfsSubvolume(tree.path("bt"), "fedroot", tree.path("fed")));
    ASSERT_TRUE(mounts.btrfsSubvolume(tree.path("bt"), "fedhome", tree.path("fed/home")));

    // From the folder that holds the whole btrfs: every writable subvolume once, the Fedora
    // mounts being a second view of subvolumes the walk lists inside the btrfs.
    PosixFileSystem fs(realMounts());
    EXPECT_THAT(test::scanTree(fs, tree.root()).relative,
                UnorderedElementsAre("outside.tmp", "bt/top.tmp", "bt/sub/s.tmp",
                                     "bt/sub/nested/n.tmp", "bt/fedroot/r.tmp",
                                     "bt/fedroot/var/lib/machines/m.tmp", "bt/fedhome/u/h.tmp"));
    // From the root subvolume's mount: the homes' mount below it, and the nested subvolume.
    const auto fed = test::scanTree(fs, tree.path("fed"));
    EXPECT_THAT(fed.relative,
                UnorderedElementsAre("r.tmp", "var/lib/machines/m.tmp", "home/u/h.tmp"));
    // What the walk lists in a nested subvolume, Erase removes.
    platform::posix::PosixFileRemover remover(tree.path("trash"));
    for (const auto& row : fed.rows)
        EXPECT_EQ(remover.deleteFile(row).outcome, platform::RemoveOutcome::Removed) << row.path;
}

}  // namespace
}  // namespace kelmora
