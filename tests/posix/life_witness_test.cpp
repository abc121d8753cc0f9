// SPDX-License-Identifier: MIT
// Identities that are never reused: on real file systems mounted for the test (ext4 with and
// without birth times on a loop device, tmpfs, ramfs), which need root; each test skips where
// this process cannot mount.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/removal/PosixFileRemover.h"
#include "platform/posix/shared/Facts.h"
#include "platform/posix/shared/StatIdentity.h"
#include "platform/posix/shared/UniqueFd.h"
#include "tests/support/FileText.h"
#include "tests/support/ScanTree.h"
#include "tests/support/TempTree.h"
#include "tests/support/posix/ScratchMounts.h"

namespace kelmora::platform::posix {
namespace {

using Kind = LifeWitness::Kind;

struct FileSystemCase {
    const char* name;
    std::function<bool(test::ScratchMounts&, const std::string&)> mount;
    Kind fileKind;
    Kind folderKind;
    bool reusesNumbers;  // a file made right after one is deleted gets its inode number
};

const std::vector<FileSystemCase>& fileSystems() {
    static const std::vector<FileSystemCase> cases = {
        {"ext4", [](auto& m, const auto& at) { return m.ext4(at); }, Kind::BirthTime,
         Kind::BirthTime, true},
        {"ext4, 128-byte inodes", [](auto& m, const auto& at) { return m.ext4(at, true); },
         Kind::Generation, Kind::Generation, true},
        {"tmpfs", [](auto& m, const auto& at) { return m.tmpfs(at); }, Kind::BirthTime,
         Kind::BirthTime, false},
        // Neither birth time nor generation: a file's size and times, a folder's number alone.
        {"ramfs", [](auto& m, const auto& at) { return m.ramfs(at); }, Kind::SizeAndTimes,
         Kind::None, false},
    };
    return cases;
}

// Runs `check` on each of fileSystems(), mounted afresh at `top` (below `tree`) and holding an
// empty folder "dir"; a file system that cannot be mounted fails its case.
void onEachFileSystem(
    const std::function<void(const FileSystemCase&, test::TempTree&, const std::string&)>& check) {
    for (const auto& fsCase : fileSystems()) {
        SCOPED_TRACE(fsCase.name);
        test::TempTree tree;
        test::ScratchMounts mounts;
        const std::string top = tree.path("mnt");
        if (!fsCase.mount(mounts, top)) {
            ADD_FAILURE() << "cannot mount " << fsCase.name;
            continue;
        }
        ASSERT_EQ(::mkdir((top + "/dir").c_str(), 0755), 0);
        check(fsCase, tree, top);
    }
}

using test::contents;
using test::writeFile;

// File systems keep times to the clock's tick: changes made within one tick leave them as they
// were. Waiting past a tick lets every later change show.
void nextClockTick() { std::this_thread::sleep_for(std::chrono::milliseconds(25)); }

FileIdentity read(const std::optional<FileIdentity>& id) {
    EXPECT_TRUE(id);
    return id.value_or(FileIdentity{});
}

// Every way of reading one file or folder gives the same identity, of the kind its file system
// allows: by name relative to its folder, by path, from an O_PATH descriptor and from one for
// reading, as the walk's facts and as the remover's.
void expectOneIdentity(int folderFd, const std::string& name, const std::string& path, Kind kind) {
    SCOPED_TRACE(name);
    const FileIdentity byName = read(identityAt(folderFd, name.c_str()));
    EXPECT_EQ(byName.life.kind, kind);
    EXPECT_EQ(read(identityAt(AT_FDCWD, path.c_str())), byName);
    const UniqueFd pathFd(::openat(folderFd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    const UniqueFd readFd(::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    ASSERT_TRUE(pathFd && readFd);
    EXPECT_EQ(read(identityOfFd(pathFd.get())), byName);
    EXPECT_EQ(read(identityOfFd(readFd.get())), byName);
    EXPECT_EQ(factsAt(folderFd, name.c_str())->id, byName);
    EXPECT_EQ(factsOf(pathFd.get())->id, byName);
    EXPECT_TRUE(factsAt(folderFd, name.c_str(), Witness::Skip)->id.sameNumber(byName));
}

TEST(LifeWitness, OneFileHasOneIdentityWhicheverWayAndAReusedNumberAnother) {
    if (!test::ScratchMounts::available()) GTEST_SKIP() << "this process cannot make mounts";
    onEachFileSystem([](const FileSystemCase& fsCase, test::TempTree&, const std::string& top) {
        writeFile(top + "/dir/f.tmp", "listed");
        const UniqueFd topFd(::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        const UniqueFd dirFd(::open((top + "/dir").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        expectOneIdentity(dirFd.get(), "f.tmp", top + "/dir/f.tmp", fsCase.fileKind);
        expectOneIdentity(topFd.get(), "dir", top + "/dir", fsCase.folderKind);

        // A folder stays itself while entries come and go: its size and times change.
        const FileIdentity folder = read(identityAt(topFd.get(), "dir"));
        nextClockTick();
        writeFile(top + "/dir/other.tmp", "x");
        ASSERT_EQ(::unlink((top + "/dir/other.tmp").c_str()), 0);
        EXPECT_EQ(read(identityAt(topFd.get(), "dir")), folder);

        // A rename sets the change time: the file is the listed one still, after a move.
        const FileIdentity listed = read(identityAt(dirFd.get(), "f.tmp"));
        nextClockTick();
        ASSERT_EQ(::rename((top + "/dir/f.tmp").c_str(), (top + "/dir/g.tmp").c_str()), 0);
        EXPECT_TRUE(sameFileSinceRename(read(identityAt(dirFd.get(), "g.tmp")), listed));

        // Deleted and made again at its path: another file, even with the same number.
        ASSERT_EQ(::unlink((top + "/dir/g.tmp").c_str()), 0);
        writeFile(top + "/dir/f.tmp", "listed");
        const FileIdentity anew = read(identityAt(dirFd.get(), "f.tmp"));
        if (fsCase.reusesNumbers) {
            EXPECT_TRUE(anew.sameNumber(listed)) << "no reuse to tell";
        }
        EXPECT_NE(anew, listed);
        EXPECT_FALSE(sameFileSinceRename(anew, listed));
    });
}

TEST(LifeWitness, FileRecreatedAtItsListedPathIsRefusedWhileItsNeighboursGo) {
    if (!test::ScratchMounts::available()) GTEST_SKIP() << "this process cannot make mounts";
    onEachFileSystem([](const FileSystemCase& fsCase, test::TempTree& tree,
                        const std::string& top) {
        for (const char* name : {"a", "b", "c", "d"})
            writeFile(top + "/dir/" + name + ".tmp", std::string(100, 'x'));
        // The home trash on the same mount: Move to bin renames into it.
        PosixFileRemover remover(top + "/home/Trash");
        PosixFileSystem fs{PosixFileSystem::Sources{}};
        const auto found = test::scanTree(fs, top);
        const auto row = [&](const std::string& rel) -> ListedFile {
            const auto at = std::find(found.relative.begin(), found.relative.end(), rel);
            EXPECT_NE(at, found.relative.end()) << rel;
            if (at == found.relative.end()) return {};
            return found.rows[static_cast<std::size_t>(at - found.relative.begin())];
        };

        // An editor rewrites a.tmp after the scan: deleted, made again at once.
        const ListedFile a = row("dir/a.tmp");
        nextClockTick();
        ASSERT_EQ(::unlink(a.path.c_str()), 0);
        writeFile(a.path, "the user's new text");
        if (fsCase.reusesNumbers) {
            struct stat st {};
            ASSERT_EQ(::stat(a.path.c_str(), &st), 0);
            ASSERT_EQ(st.st_ino, a.file.inode) << "the file system gave it another number";
        }
        for (int way = 0; way < 2; ++way) {
            const RemoveResult result = way == 0 ? remover.deleteFile(a) : remover.moveToTrash(a);
            EXPECT_EQ(result.outcome, RemoveOutcome::Refused) << (way == 0 ? "erase" : "bin");
            EXPECT_EQ(result.osError, ESTALE);
            EXPECT_EQ(contents(a.path), "the user's new text");
        }

        // The folder changed with every removal and every move renamed: the listed files still go.
        EXPECT_EQ(remover.deleteFile(row("dir/b.tmp")).outcome, RemoveOutcome::Removed);
        const RemoveResult moved = remover.moveToTrash(row("dir/c.tmp"));
        EXPECT_EQ(moved.outcome, RemoveOutcome::Removed) << moved.osError;
        EXPECT_EQ(remover.moveToTrash(row("dir/d.tmp")).outcome, RemoveOutcome::Removed);
        EXPECT_TRUE(tree.exists("mnt/home/Trash/files/c.tmp"));
        EXPECT_FALSE(tree.exists("mnt/home/Trash/files/a.tmp"));
        EXPECT_FALSE(tree.exists("mnt/dir/b.tmp") || tree.exists("mnt/dir/c.tmp") ||
                     tree.exists("mnt/dir/d.tmp"));
        remover.finishBatch();
    });
}

}  // namespace
}  // namespace kelmora::platform::posix
