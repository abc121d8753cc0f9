// SPDX-License-Identifier: MIT
#include "platform/posix/removal/PosixFileRemover.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/removal/HomeTrash.h"
#include "platform/posix/shared/UniqueFd.h"
#include "tests/support/FileText.h"
#include "tests/support/ListedFileOf.h"
#include "tests/support/TempTree.h"
#include "tests/support/posix/ScratchMounts.h"

namespace {
// Run before every renameat2 and unlinkat of this program while a test sets them, so that the test
// can act there as another process racing the removal would.
std::function<void()> beforeRenameAt2;
std::function<void()> beforeUnlinkAt;
// Run after every pwrite and copy_file_range of this program, with where its data ended.
std::function<void(off_t)> afterWrite;
}  // namespace

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t at) {
    const auto put = static_cast<ssize_t>(::syscall(SYS_pwrite64, fd, data, size, at));
    if (afterWrite && put > 0) afterWrite(at + put);
    return put;
}
extern "C" ssize_t copy_file_range(int in, off64_t* inAt, int out, off64_t* outAt, size_t size,
                                   unsigned int flags) {
    const auto put =
        static_cast<ssize_t>(::syscall(SYS_copy_file_range, in, inAt, out, outAt, size, flags));
    if (afterWrite && put > 0 && outAt) afterWrite(*outAt);
    return put;
}

// The system's renameat2, after beforeRenameAt2.
extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned int flags) noexcept {
    if (beforeRenameAt2) beforeRenameAt2();
    return static_cast<int>(::syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}

// The system's unlinkat, after beforeUnlinkAt.
extern "C" int unlinkat(int folder, const char* name, int flags) noexcept {
    if (beforeUnlinkAt) beforeUnlinkAt();
    return static_cast<int>(::syscall(SYS_unlinkat, folder, name, flags));
}

namespace kelmora::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::listedFileOf;

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

using test::contents;
using test::writeFile;

// The bytes that a percent-encoded text stands for.
std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The Path= of a .trashinfo file, decoded, after checking the record's form.
std::string recordedPath(const std::string& infoFile) {
    std::ifstream in(infoFile);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "[Trash Info]") << infoFile;
    std::string path;
    bool dated = false;
    while (std::getline(in, line)) {
        if (line.rfind("Path=", 0) == 0) path = line.substr(5);
        if (line.rfind("DeletionDate=", 0) == 0) dated = line.size() == 13 + 19 && line[23] == 'T';
    }
    EXPECT_TRUE(dated) << "no DeletionDate=YYYY-MM-DDThh:mm:ss in " << infoFile;
    for (const char c : path)
        EXPECT_TRUE(c > ' ' && c < 0x7f) << "unencoded byte " << int(c) << " in " << path;
    return percentDecoded(path);
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().native());
    return names;
}

// A temporary tree with the home trash inside it, and a remover that uses that trash.
class PosixRemover : public ::testing::Test {
  protected:
    ListedFile listed(const std::string& rel) const { return listedFileOf(tree.path(rel)); }
    std::string trash(const std::string& rel = "") const {
        return tree.path("data/Trash") + (rel.empty() ? "" : "/" + rel);
    }
    // The listed file `rel` was moved (the same inode, not a copy) into the home trash under
    // `trashName`, with its full path recorded.
    void expectInHomeTrash(const std::string& rel, ino_t inode, const std::string& trashName) {
        EXPECT_FALSE(tree.exists(rel));
        EXPECT_EQ(inodeOf(trash("files/" + trashName)), inode) << trashName;
        EXPECT_EQ(recordedPath(trash("info/" + trashName + ".trashinfo")), tree.path(rel));
    }

    test::TempTree tree;
    PosixFileRemover remover{trash()};
};

using PosixDelete = PosixRemover;

TEST_F(PosixDelete, DeletesTheNamedFileAndNothingElse) {
    tree.file("a.tmp", 10);
    tree.file("b.tmp", 10);
    const RemoveResult result = remover.deleteFile(listed("a.tmp"));
    EXPECT_EQ(result.outcome, RemoveOutcome::Removed);
    EXPECT_EQ(result.osError, 0);
    EXPECT_FALSE(tree.exists("a.tmp"));
    EXPECT_TRUE(tree.exists("b.tmp"));
}

TEST_F(PosixDelete, RefusesAFileWithoutAnyWriteBitEvenToRoot) {
    // The mode is read, not tried: the check holds whoever runs the program.
    tree.file("ro.tmp", 10);
    fs::permissions(tree.path("ro.tmp"), fs::perms::owner_read | fs::perms::group_read);
    const RemoveResult result = remover.deleteFile(listed("ro.tmp"));
    EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(result.osError, EACCES);
    EXPECT_TRUE(tree.exists("ro.tmp"));
}

TEST_F(PosixDelete, AnyWriteBitMakesAFileDeletable) {
    tree.file("groupwrite.tmp", 10);
    fs::permissions(tree.path("groupwrite.tmp"), fs::perms::group_write);
    EXPECT_EQ(remover.deleteFile(listed("groupwrite.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_FALSE(tree.exists("groupwrite.tmp"));
}

TEST_F(PosixDelete, RefusalByTheFoldersRightsIsReported) {
    if (::geteuid() == 0) GTEST_SKIP() << "folder rights do not stop root";
    tree.file("locked/f.tmp", 10);
    const ListedFile file = listed("locked/f.tmp");
    fs::permissions(tree.path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const RemoveResult result = remover.deleteFile(file);
    EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(result.osError, EACCES);
    EXPECT_TRUE(tree.exists("locked/f.tmp"));
}

TEST_F(PosixDelete, VanishedFileIsAlreadyGone) {
    tree.file("gone/x.tmp", 1);
    const ListedFile file = listed("gone/x.tmp");
    fs::remove(tree.path("gone/x.tmp"));
    EXPECT_EQ(remover.deleteFile(file).outcome, RemoveOutcome::AlreadyGone);
    fs::remove(tree.path("gone"));  // the whole path, folder included
    EXPECT_EQ(remover.deleteFile(file).outcome, RemoveOutcome::AlreadyGone);
    EXPECT_EQ(remover.moveToTrash(file).outcome, RemoveOutcome::AlreadyGone);
}

TEST_F(PosixDelete, FoldersAndLinksAreRefusedAndLinksNeverFollowed) {
    tree.folder("became-a-folder.tmp");
    tree.file("target.txt", 10);
    tree.symlink(tree.path("target.txt"), "link.tmp");
    tree.symlink(tree.path("nowhere"), "dangling.tmp");
    for (const char* name : {"became-a-folder.tmp", "link.tmp", "dangling.tmp"}) {
        EXPECT_EQ(remover.deleteFile(listed(name)).outcome, RemoveOutcome::Refused) << name;
        EXPECT_TRUE(tree.exists(name)) << name;
    }
    EXPECT_TRUE(tree.exists("target.txt"));
}

TEST_F(PosixDelete, StarAndQuestionMarkAreOrdinaryCharacters) {
    for (const char* name : {"a*.tmp", "a?.tmp", "ab.tmp", "a1.tmp"}) tree.file(name, 1);
    EXPECT_EQ(remover.deleteFile(listed("a*.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_EQ(remover.deleteFile(listed("a?.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_EQ(remover.deleteFile(listed("x?.tmp")).outcome, RemoveOutcome::AlreadyGone);
    EXPECT_FALSE(tree.exists("a*.tmp"));
    EXPECT_FALSE(tree.exists("a?.tmp"));
    EXPECT_TRUE(tree.exists("ab.tmp"));
    EXPECT_TRUE(tree.exists("a1.tmp"));
}

TEST_F(PosixDelete, NamesAreBytesNotText) {
    const std::string odd = "\xff\xfe bad utf8\nline.tmp";
    const std::string valid = "\xc3\xbf\xc3\xbe bad utf8\nline.tmp";  // the same letters, UTF-8
    tree.file(odd, 1);
    tree.file(valid, 1);
    EXPECT_EQ(remover.deleteFile(listed(odd)).outcome, RemoveOutcome::Removed);
    EXPECT_FALSE(tree.exists(odd));
    EXPECT_TRUE(tree.exists(valid));
}

// Both ways of removal, for the cases where each must refuse the same.
enum class Way { Erase, MoveToBin };
RemoveResult removeBy(PosixFileRemover& remover, Way way, const ListedFile& file) {
    return way == Way::Erase ? remover.deleteFile(file) : remover.moveToTrash(file);
}

TEST_F(PosixRemover, WhatWasSwappedInAfterTheScanIsRefusedAndKept) {
    for (const Way way : {Way::Erase, Way::MoveToBin}) {
        SCOPED_TRACE(way == Way::Erase ? "erase" : "move to bin");
        const std::string at = way == Way::Erase ? "e/" : "m/";
        // A folder on the path turned into a link to another folder that holds the same names.
        tree.file(at + "a/b/x.tmp", 1);
        tree.file(at + "other/b/x.tmp", 1);
        const ListedFile deep = listed(at + "a/b/x.tmp");
        fs::rename(tree.path(at + "a"), tree.path(at + "a.moved"));
        tree.symlink(tree.path(at + "other"), at + "a");
        RemoveResult result = removeBy(remover, way, deep);
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ENOTDIR);
        // The folder itself turned into a link.
        tree.file(at + "c/x.tmp", 1);
        const ListedFile near = listed(at + "c/x.tmp");
        fs::rename(tree.path(at + "c"), tree.path(at + "c.moved"));
        tree.symlink(tree.path(at + "other/b"), at + "c");
        EXPECT_EQ(removeBy(remover, way, near).outcome, RemoveOutcome::Refused);
        EXPECT_TRUE(tree.exists(at + "other/b/x.tmp"));
        EXPECT_TRUE(tree.exists(at + "a.moved/b/x.tmp"));
        EXPECT_TRUE(tree.exists(at + "c.moved/x.tmp"));

        // A folder made anew at the listed place, with a file of the listed name.
        tree.file(at + "d/x.tmp", 1);
        const ListedFile inOldFolder = listed(at + "d/x.tmp");
        fs::rename(tree.path(at + "d"), tree.path(at + "d.moved"));
        tree.file(at + "d/x.tmp", 1);
        result = removeBy(remover, way, inOldFolder);
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ESTALE);
        EXPECT_TRUE(tree.exists(at + "d/x.tmp"));

        // Another file renamed over the listed one (made while the listed one still existed, so
        // it cannot have its inode).
        tree.file(at + "f.tmp", 1);
        const ListedFile replaced = listed(at + "f.tmp");
        writeFile(tree.path(at + "newer"), "someone else's");
        fs::rename(tree.path(at + "newer"), tree.path(at + "f.tmp"));
        result = removeBy(remover, way, replaced);
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ESTALE);
        EXPECT_EQ(contents(tree.path(at + "f.tmp")), "someone else's");
    }
    EXPECT_TRUE(namesIn(trash("files")).empty());
    EXPECT_TRUE(namesIn(trash("info")).empty());
}

// A chain of folders whose full path is longer than PATH_MAX, made and removed through
// descriptors because path-based calls refuse it.
class DeepFolder {
  public:
    explicit DeepFolder(const std::string& base) : path_(base) {
        fds_.emplace_back(::open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        const std::string name(200, 'd');
        while (path_.size() <= PATH_MAX + 200) {
            ::mkdirat(fds_.back().get(), name.c_str(), 0700);
            fds_.emplace_back(::openat(fds_.back().get(), name.c_str(), O_RDONLY | O_DIRECTORY));
            path_ += "/" + name;
        }
    }
    ~DeepFolder() {
        for (const auto& name : namesHere()) ::unlinkat(fd(), name.c_str(), 0);
        const std::string name(200, 'd');
        for (std::size_t i = fds_.size() - 1; i > 0; --i)
            ::unlinkat(fds_[i - 1].get(), name.c_str(), AT_REMOVEDIR);
    }
    const std::string& path() const { return path_; }
    int fd() const { return fds_.back().get(); }
    void file(const std::string& name) const {
        UniqueFd(::openat(fd(), name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    }
    bool has(const std::string& name) const {
        struct stat st {};
        return ::fstatat(fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

  private:
    std::vector<std::string> namesHere() const {
        std::vector<std::string> names;
        for (const char* name : {"erase.tmp", "bin.tmp"}) names.emplace_back(name);
        return names;
    }
    std::string path_;
    std::vector<UniqueFd> fds_;
};

TEST_F(PosixRemover, FilesPastPathMaxAreErasedAndBinnedTheSameWay) {
    const DeepFolder deep(tree.root());
    deep.file("erase.tmp");
    deep.file("bin.tmp");
    ASSERT_GT(deep.path().size(), std::size_t{PATH_MAX});
    EXPECT_EQ(remover.deleteFile(listedFileOf(deep.path() + "/erase.tmp")).outcome,
              RemoveOutcome::Removed);
    EXPECT_FALSE(deep.has("erase.tmp"));
    const RemoveResult binned = remover.moveToTrash(listedFileOf(deep.path() + "/bin.tmp"));
    EXPECT_EQ(binned.outcome, RemoveOutcome::Removed) << binned.osError;
    EXPECT_FALSE(deep.has("bin.tmp"));
    EXPECT_EQ(recordedPath(trash("info/bin.tmp.trashinfo")), deep.path() + "/bin.tmp");
}

TEST_F(PosixRemover, FewDescriptorsLeftStillReachDeepFiles) {
    // Deeper than 40 descriptors reach, in a process allowed 40 (`ulimit -n 40`), as the walk
    // finds such files.
    std::string deep;
    for (int level = 0; level < 60; ++level) deep += "d/";
    for (const Way way : {Way::Erase, Way::MoveToBin}) {
        SCOPED_TRACE(way == Way::Erase ? "erase" : "move to bin");
        const std::string rel = deep + (way == Way::Erase ? "erase.tmp" : "bin.tmp");
        tree.file(rel, 1);
        const ListedFile file = listed(rel);
        const auto removeWithFewDescriptors = [&] {
            rlimit few{};
            few.rlim_cur = few.rlim_max = 40;
            if (::setrlimit(RLIMIT_NOFILE, &few) != 0) ::_exit(100);
            PosixFileRemover fresh{trash()};
            const RemoveResult result = removeBy(fresh, way, file);
            ::_exit(result.outcome == RemoveOutcome::Removed ? 0 : 1 + result.osError % 99);
        };
        EXPECT_EXIT(removeWithFewDescriptors(), ::testing::ExitedWithCode(0), "");
        EXPECT_FALSE(tree.exists(rel));
    }
}

using PosixTrash = PosixRemover;

TEST_F(PosixTrash, MovesTheFileIntoTheHomeTrashMadeForIt) {
    tree.file("in folder/trash me.tmp", 2048);
    tree.file("elsewhere/trash me.tmp", 10);
    const ino_t first = inodeOf(tree.path("in folder/trash me.tmp"));
    const ino_t second = inodeOf(tree.path("elsewhere/trash me.tmp"));
    ASSERT_EQ(remover.moveToTrash(listed("in folder/trash me.tmp")).outcome,
              RemoveOutcome::Removed);
    expectInHomeTrash("in folder/trash me.tmp", first, "trash me.tmp");
    // The trash was made on first use, for the user alone.
    struct stat st {};
    ASSERT_EQ(::stat(trash().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    // The same name again takes a free one; the first stays as it was.
    ASSERT_EQ(remover.moveToTrash(listed("elsewhere/trash me.tmp")).outcome,
              RemoveOutcome::Removed);
    const auto names = namesIn(trash("files"));
    ASSERT_EQ(names.size(), 2u);
    const std::string other = names[0] == "trash me.tmp" ? names[1] : names[0];
    EXPECT_EQ(other.rfind("trash me.tmp.", 0), 0u) << other;
    expectInHomeTrash("elsewhere/trash me.tmp", second, other);
    EXPECT_EQ(inodeOf(trash("files/trash me.tmp")), first);
}

TEST_F(PosixTrash, NonUtf8NameKeepsItsBytes) {
    const std::string latin1 = "\xe9t\xe9 caf\xe9.tmp";
    tree.file(latin1, 1);
    const ino_t inode = inodeOf(tree.path(latin1));
    ASSERT_EQ(remover.moveToTrash(listed(latin1)).outcome, RemoveOutcome::Removed);
    expectInHomeTrash(latin1, inode, latin1);
    EXPECT_NE(contents(trash("info/" + latin1 + ".trashinfo")).find("%E9"), std::string::npos);
}

TEST_F(PosixTrash, StarAndQuestionMarkAreOrdinaryCharacters) {
    for (const char* name : {"c*.tmp", "c?.tmp", "cx.tmp"}) tree.file(name, 1);
    for (const char* name : {"c*.tmp", "c?.tmp"}) {
        const ino_t inode = inodeOf(tree.path(name));
        ASSERT_EQ(remover.moveToTrash(listed(name)).outcome, RemoveOutcome::Removed);
        expectInHomeTrash(name, inode, name);
    }
    EXPECT_TRUE(tree.exists("cx.tmp"));
    EXPECT_FALSE(fs::exists(trash("files/cx.tmp")));
}

TEST_F(PosixTrash, ReadOnlyFileCanBeTrashedBecauseItCanBeRestored) {
    tree.file("ro-trash.tmp", 1);
    fs::permissions(tree.path("ro-trash.tmp"), fs::perms::owner_read);
    const ino_t inode = inodeOf(tree.path("ro-trash.tmp"));
    ASSERT_EQ(remover.moveToTrash(listed("ro-trash.tmp")).outcome, RemoveOutcome::Removed);
    expectInHomeTrash("ro-trash.tmp", inode, "ro-trash.tmp");
}

TEST_F(PosixTrash, MissingFileIsAlreadyGoneAndOtherEntriesAreRefused) {
    EXPECT_EQ(remover.moveToTrash(listed("never.tmp")).outcome, RemoveOutcome::AlreadyGone);
    tree.folder("dir.tmp");
    tree.file("target.txt", 1);
    tree.symlink(tree.path("target.txt"), "link.tmp");
    for (const char* name : {"dir.tmp", "link.tmp"}) {
        EXPECT_EQ(remover.moveToTrash(listed(name)).outcome, RemoveOutcome::Refused) << name;
        EXPECT_TRUE(tree.exists(name)) << name;
    }
    EXPECT_TRUE(tree.exists("target.txt"));
}

TEST_F(PosixTrash, UnusableHomeTrashRefusesAndLeavesTheFile) {
    // Something else where the trash belongs: a file, then a link to a real trash elsewhere.
    tree.folder("data");
    writeFile(trash(), "not a folder");
    tree.file("keep.tmp", 10);
    const ino_t inode = inodeOf(tree.path("keep.tmp"));
    RemoveResult result = remover.moveToTrash(listed("keep.tmp"));
    EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
    EXPECT_NE(result.osError, 0);
    fs::remove(trash());
    tree.folder("elsewhere/files");
    tree.folder("elsewhere/info");
    tree.symlink(tree.path("elsewhere"), "data/Trash");
    result = remover.moveToTrash(listed("keep.tmp"));
    EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(inodeOf(tree.path("keep.tmp")), inode);
    EXPECT_TRUE(namesIn(tree.path("elsewhere/files")).empty());
    PosixFileRemover noHome{""};
    EXPECT_EQ(noHome.moveToTrash(listed("keep.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(inodeOf(tree.path("keep.tmp")), inode);
}

#define REQUIRE_MOUNTS() \
    if (!test::ScratchMounts::available()) GTEST_SKIP() << "this process cannot make mounts"

class PosixTrashMounts : public PosixRemover {
  protected:
    test::ScratchMounts mounts;  // after the tree: unmounted before the tree goes
};

TEST_F(PosixTrashMounts, AnyNumberOfFilesOfOneNameGoToTheSameTrash) {
    // The home trash, and where this process may mount, the trash at the top of another mount
    // (which, once it gave up, left the rest to be copied into the home trash).
    const std::string own = ".Trash-" + std::to_string(::geteuid());
    std::vector<std::pair<std::string, std::string>> places = {{"home/", trash()}};
    if (test::ScratchMounts::available() && mounts.bind(tree.path("disk"), tree.path("mnt")))
        places.emplace_back("mnt/", tree.path("mnt/" + own));
    for (const auto& [at, trashFolder] : places) {
        SCOPED_TRACE(at);
        constexpr int kFiles = 1'100;
        std::map<ino_t, std::string> listedPaths;
        for (int i = 0; i < kFiles; ++i) {
            const std::string rel = at + std::to_string(i) + "/config.bak";
            tree.file(rel, 1);
            listedPaths[inodeOf(tree.path(rel))] =
                at == "mnt/" ? std::to_string(i) + "/config.bak" : tree.path(rel);
            const RemoveResult result = remover.moveToTrash(listed(rel));
            ASSERT_EQ(result.outcome, RemoveOutcome::Removed) << i << ": " << result.osError;
        }
        // Every one was moved (not copied) into that trash, under a name that begins with its own.
        const auto names = namesIn(trashFolder + "/files");
        EXPECT_EQ(names.size(), std::size_t{kFiles});
        for (const std::string& name : names) {
            EXPECT_EQ(name.rfind("config.bak", 0), 0u) << name;
            EXPECT_EQ(recordedPath(trashFolder + "/info/" + name + ".trashinfo"),
                      listedPaths[inodeOf(trashFolder + "/files/" + name)]);
        }
        fs::remove_all(trashFolder);
    }
}

TEST_F(PosixTrashMounts, AnotherMountsFilesGoToTheTrashAtItsTop) {
    REQUIRE_MOUNTS();
    // A bind mount: the same file system as the home trash, but another mount, across which
    // nothing can be renamed.
    ASSERT_TRUE(mounts.bind(tree.path("disk"), tree.path("mnt")));
    const std::string top = tree.path("mnt");
    const std::string own = ".Trash-" + std::to_string(::geteuid());
    tree.file("mnt/sub/a.tmp", 10);
    const ino_t a = inodeOf(tree.path("mnt/sub/a.tmp"));
    ASSERT_EQ(remover.moveToTrash(listed("mnt/sub/a.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_EQ(inodeOf(top + "/" + own + "/files/a.tmp"), a);
    EXPECT_EQ(recordedPath(top + "/" + own + "/info/a.tmp.trashinfo"), "sub/a.tmp");
    struct stat st {};
    ASSERT_EQ(::lstat((top + "/" + own).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // A shared .Trash is used only while it is a real folder with the sticky bit.
    tree.folder("mnt/.Trash");
    ::chmod(tree.path("mnt/.Trash").c_str(), 0777);
    tree.file("mnt/b.tmp", 10);
    ASSERT_EQ(remover.moveToTrash(listed("mnt/b.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_TRUE(fs::exists(top + "/" + own + "/files/b.tmp"));
    ::chmod(tree.path("mnt/.Trash").c_str(), 01777);
    tree.file("mnt/c.tmp", 10);
    const ino_t c = inodeOf(tree.path("mnt/c.tmp"));
    ASSERT_EQ(remover.moveToTrash(listed("mnt/c.tmp")).outcome, RemoveOutcome::Removed);
    const std::string shared = top + "/.Trash/" + std::to_string(::geteuid());
    EXPECT_EQ(inodeOf(shared + "/files/c.tmp"), c);
    EXPECT_EQ(recordedPath(shared + "/info/c.tmp.trashinfo"), "c.tmp");

    // A trash folder that is a link is never used: the file is copied into the home trash.
    fs::remove_all(top + "/.Trash");
    fs::remove_all(top + "/" + own);
    tree.folder("mnt/lure");
    tree.symlink(top + "/lure", "mnt/" + own);
    tree.file("mnt/d.tmp", 10);
    ASSERT_EQ(remover.moveToTrash(listed("mnt/d.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_TRUE(namesIn(top + "/lure").empty());
    EXPECT_TRUE(fs::exists(trash("files/d.tmp")));
    EXPECT_FALSE(tree.exists("mnt/d.tmp"));
}

TEST_F(PosixTrashMounts, FilesOfATmpfsAreCopiedIntoTheHomeTrash) {
    REQUIRE_MOUNTS();
    ASSERT_TRUE(mounts.tmpfs(tree.path("ram"), "size=4m"));
    tree.folder("ram/sub");
    writeFile(tree.path("ram/sub/x.tmp"), std::string(300'000, 'x') + "end");
    ::chmod(tree.path("ram/sub/x.tmp").c_str(), 0640);
    const struct timespec times[2] = {{1'000'000'000, 5}, {1'100'000'000, 7}};
    ASSERT_EQ(::utimensat(AT_FDCWD, tree.path("ram/sub/x.tmp").c_str(), times, 0), 0);
    const RemoveResult result = remover.moveToTrash(listed("ram/sub/x.tmp"));
    ASSERT_EQ(result.outcome, RemoveOutcome::Removed) << result.osError;
    EXPECT_FALSE(tree.exists("ram/sub/x.tmp"));
    EXPECT_EQ(contents(trash("files/x.tmp")), std::string(300'000, 'x') + "end");
    struct stat st {};
    ASSERT_EQ(::stat(trash("files/x.tmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'100'000'000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 7);
    EXPECT_EQ(recordedPath(trash("info/x.tmp.trashinfo")), tree.path("ram/sub/x.tmp"));
    // No trash was made on the tmpfs itself.
    EXPECT_EQ(namesIn(tree.path("ram")), std::vector<std::string>{"sub"});
}

TEST_F(PosixTrashMounts, TheCopyRemovesOnlyTheFileItChecked) {
    REQUIRE_MOUNTS();
    ASSERT_TRUE(mounts.tmpfs(tree.path("ram"), "size=4m"));
    // Another process moves the listed file away and puts its own at the path: before the last
    // unlink, before the original is set aside, and then once more before it can go back.
    enum class When { BeforeUnlink, BeforeSettingAside, AgainBeforePutBack };
    for (const When when :
         {When::BeforeUnlink, When::BeforeSettingAside, When::AgainBeforePutBack}) {
        SCOPED_TRACE(static_cast<int>(when));
        const std::string at = "ram/" + std::to_string(static_cast<int>(when)) + "/";
        tree.folder(at);
        writeFile(tree.path(at + "x.tmp"), "listed");
        const ListedFile file = listed(at + "x.tmp");
        const auto swap = [&] {
            std::error_code ignored;
            fs::rename(tree.path(at + "x.tmp"), tree.path(at + "moved.tmp"), ignored);
            writeFile(tree.path(at + "x.tmp"), "theirs");
        };
        int renames = 0;
        if (when == When::BeforeUnlink) {
            beforeUnlinkAt = [&] {
                beforeUnlinkAt = nullptr;
                swap();
            };
        } else {
            // The first rename gives the whole copy its recorded name in the trash.
            beforeRenameAt2 = [&] {
                if (++renames == 2) swap();
                if (renames == 3 && when == When::AgainBeforePutBack)
                    writeFile(tree.path(at + "x.tmp"), "again");
            };
        }
        const RemoveResult result = remover.moveToTrash(file);
        beforeRenameAt2 = nullptr;
        beforeUnlinkAt = nullptr;
        // Their file is never deleted, and the listed one is in the trash or where it was moved.
        std::vector<std::string> left;
        for (const std::string& name : namesIn(tree.path(at)))
            left.push_back(contents(tree.path(at + name)));
        std::sort(left.begin(), left.end());
        if (when == When::BeforeUnlink) {
            EXPECT_EQ(result.outcome, RemoveOutcome::Removed) << result.osError;
            EXPECT_EQ(left, std::vector<std::string>{"theirs"});
            EXPECT_EQ(contents(trash("files/x.tmp")), "listed");
        } else {
            EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
            EXPECT_EQ(result.osError, ESTALE);
            EXPECT_EQ(contents(tree.path(at + "moved.tmp")), "listed");
            // Theirs is back at the path, or where the path was taken again, still in the folder.
            const std::vector<std::string> expected =
                when == When::BeforeSettingAside
                    ? std::vector<std::string>{"listed", "theirs"}
                    : std::vector<std::string>{"again", "listed", "theirs"};
            EXPECT_EQ(left, expected);
            EXPECT_EQ(contents(tree.path(at + "x.tmp")),
                      when == When::BeforeSettingAside ? "theirs" : "again");
        }
        fs::remove_all(trash());
    }
}

TEST_F(PosixTrashMounts, FilesOfAnotherBtrfsSubvolumeAreCopied) {
    REQUIRE_MOUNTS();
    if (!mounts.btrfs(tree.path("bt"))) GTEST_SKIP() << "no btrfs here (btrfs-progs, loop)";
    ASSERT_EQ(
        std::system(("cd '" + tree.path("bt") + "' && btrfs -q subvolume create sub").c_str()), 0);
    // A subvolume on the home trash's mount, and one below the top of another mount: no rename
    // reaches the trash of either from it.
    struct Case {
        std::string home, file, trashFile;
    };
    const std::vector<Case> cases = {
        {"bt/Trash", "bt/sub/a.tmp", "bt/Trash/files/a.tmp"},
        {"data/Trash", "bt/sub/b.tmp", "data/Trash/files/b.tmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        tree.file(c.file);
        writeFile(tree.path(c.file), c.file);
        PosixFileRemover binner{tree.path(c.home)};
        const RemoveResult result = binner.moveToTrash(listed(c.file));
        EXPECT_EQ(result.outcome, RemoveOutcome::Removed) << result.osError;
        EXPECT_FALSE(tree.exists(c.file));
        EXPECT_EQ(contents(tree.path(c.trashFile)), c.file);
    }
}

TEST_F(PosixTrashMounts, NoRoomInTheHomeTrashRefusesAndLeavesNothingBehind) {
    REQUIRE_MOUNTS();
    ASSERT_TRUE(mounts.tmpfs(tree.path("data"), "size=256k"));
    ASSERT_TRUE(mounts.tmpfs(tree.path("ram"), "size=4m"));
    const std::string big(1'000'000, 'b');
    writeFile(tree.path("ram/big.tmp"), big);
    const RemoveResult result = remover.moveToTrash(listed("ram/big.tmp"));
    EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(result.osError, ENOSPC);
    EXPECT_EQ(contents(tree.path("ram/big.tmp")), big);
    EXPECT_TRUE(namesIn(trash("files")).empty());
    EXPECT_TRUE(namesIn(trash("info")).empty());

    // Room for the data but for one file only: the record is written, then the copy cannot be
    // made, and the record goes again.
    ASSERT_TRUE(mounts.tmpfs(tree.path("few"), "size=4m,nr_inodes=5"));
    PosixFileRemover fewFiles{tree.path("few/Trash")};
    const RemoveResult undone = fewFiles.moveToTrash(listed("ram/big.tmp"));
    EXPECT_EQ(undone.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(undone.osError, ENOSPC);
    EXPECT_EQ(contents(tree.path("ram/big.tmp")), big);
    EXPECT_TRUE(namesIn(tree.path("few/Trash/files")).empty());
    EXPECT_TRUE(namesIn(tree.path("few/Trash/info")).empty());
}

TEST_F(PosixTrashMounts, AKilledCopyLeavesNothingThatARestoreWouldBringBackWrong) {
    REQUIRE_MOUNTS();
    ASSERT_TRUE(mounts.tmpfs(tree.path("ram"), "size=64m"));
    std::string original(8 << 20, 0);
    for (std::size_t i = 0; i < original.size(); ++i) original[i] = static_cast<char>(i / 4093);
    // A child copying it into the home trash stops once so many bytes are written, or at its nth
    // rename, and is killed there; in the last row only after a put meanwhile.
    // Every record names a file of the original's content or none; gives how many name none and
    // how many files have no record.
    const auto check = [&] {
        std::pair<std::size_t, std::size_t> loose;
        for (const std::string& record : namesIn(trash("info"))) {
            const std::string file = trash("files/" + record.substr(0, record.size() - 10));
            EXPECT_TRUE(!fs::exists(file) || contents(file) == original) << record;
            loose.first += !fs::exists(file);
        }
        for (const std::string& name : namesIn(trash("files")))
            loose.second += !fs::exists(trash("info/" + name + ".trashinfo"));
        return loose;
    };
    const std::pair<off_t, int> stopsAt[] = {{1 << 20, 0}, {4 << 20, 0}, {8 << 20, 0},
                                             {0, 1},       {0, 2},       {4 << 20, -1}};
    for (const auto& [bytes, rename] : stopsAt) {
        SCOPED_TRACE(std::to_string(bytes) + " " + std::to_string(rename));
        writeFile(tree.path("ram/big.tmp"), original);
        int stops[2];
        ASSERT_EQ(::pipe(stops), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            int renames = 0;
            const auto stop = [&] {
                for (::write(stops[1], "!", 1);;) ::pause();
            };
            afterWrite = [&](off_t end) { bytes != 0 && end >= bytes ? stop() : void(); };
            beforeRenameAt2 = [&] { ++renames == rename ? stop() : void(); };
            remover.moveToTrash(listed("ram/big.tmp"));
            ::_exit(0);
        }
        ::close(stops[1]);
        char stopped = 0;
        EXPECT_EQ(::read(stops[0], &stopped, 1), 1) << "the child never came to its stop";
        ::close(stops[0]);
        if (rename >= 0) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
        EXPECT_TRUE(contents(tree.path("ram/big.tmp")) == original) << "the original changed";
        check();
        EXPECT_EQ(PosixFileRemover{trash()}.moveToTrash(listed("ram/big.tmp")).outcome,
                  RemoveOutcome::Removed);
        EXPECT_FALSE(tree.exists("ram/big.tmp"));
        // All cleared up, but for the copy that its running writer holds locked.
        const std::size_t locked = rename < 0 ? 1 : 0;
        EXPECT_EQ(check(), std::make_pair(locked, locked));
        if (rename < 0) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
        fs::remove_all(trash());
    }
}

TEST_F(PosixTrash, AnEntrySwappedInNeverKeepsARecord) {
    // Another process swaps the listed file for a folder of its own just before the rename into
    // the trash and then, in one of the two rounds, takes the name again before the folder can go
    // back.
    for (const bool nameTakenAgain : {false, true}) {
        SCOPED_TRACE(nameTakenAgain ? "name taken again" : "name left free");
        const std::string at = nameTakenAgain ? "twice/" : "once/";
        tree.file(at + "x.tmp", 10);
        const ListedFile file = listed(at + "x.tmp");
        const ino_t listedInode = inodeOf(tree.path(at + "x.tmp"));
        int renames = 0;
        beforeRenameAt2 = [&] {
            if (++renames == 1) {
                fs::rename(tree.path(at + "x.tmp"), tree.path(at + "aside.tmp"));
                tree.file(at + "x.tmp/theirs", 1);
            } else if (renames == 2 && nameTakenAgain) {
                tree.file(at + "x.tmp", 1);
            }
        };
        const RemoveResult result = remover.moveToTrash(file);
        beforeRenameAt2 = nullptr;
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ESTALE);
        EXPECT_EQ(renames, 2);  // in, then back out
        EXPECT_TRUE(namesIn(trash("info")).empty());
        EXPECT_EQ(inodeOf(tree.path(at + "aside.tmp")), listedInode);
        if (!nameTakenAgain) {
            EXPECT_TRUE(tree.exists(at + "x.tmp/theirs"));
            EXPECT_TRUE(namesIn(trash("files")).empty());
        }
    }
}

TEST_F(PosixTrash, LongNamesOfAnyBytesGetShortNamesOfTheirOwn) {
    const std::string tails(251, '\xA0');  // bytes that UTF-8 has only inside a character
    std::string accents;
    for (int i = 0; i < 125; ++i) accents += "\xC3\xA9";  // e-acute, two bytes each
    struct Case {
        std::string name, extension;
    };
    const std::vector<Case> cases = {
        {tails + ".tmp", ".tmp"},
        {tails.substr(1) + "\xA1.tmp", ".tmp"},  // alike as far as a shortened name reaches
        {accents + ".bak", ".bak"},
        {std::string(255, '\xFF'), ""},
    };
    std::map<ino_t, std::string> listedNames;
    for (const Case& c : cases) {
        tree.file(c.name, 1);
        listedNames[inodeOf(tree.path(c.name))] = c.name;
        const RemoveResult result = remover.moveToTrash(listed(c.name));
        EXPECT_EQ(result.outcome, RemoveOutcome::Removed) << result.osError;
        EXPECT_FALSE(tree.exists(c.name));
    }
    std::map<std::string, std::string> trashNames;  // by listed name
    for (const std::string& name : namesIn(trash("files")))
        trashNames[listedNames[inodeOf(trash("files/" + name))]] = name;
    ASSERT_EQ(trashNames.size(), cases.size());
    for (const Case& c : cases) {
        const std::string& name = trashNames[c.name];
        EXPECT_LE(name.size() + std::string(".trashinfo").size(), std::size_t{NAME_MAX});
        EXPECT_GT(name.size(), 200u);
        EXPECT_EQ(name.compare(0, 200, c.name, 0, 200), 0);
        EXPECT_NE(name.find(c.extension, 200), std::string::npos);
        EXPECT_EQ(recordedPath(trash("info/" + name + ".trashinfo")), tree.path(c.name));
    }
    // Whole characters only: the last one before the extension is complete.
    const std::string& accented = trashNames[accents + ".bak"];
    EXPECT_EQ(accented.substr(accented.size() - 6), "\xC3\xA9.bak");
}

// The bytes of a POSIX access ACL (system.posix_acl_access) by which the owner may read and write
// the file, the user 12345 may read it, and its group and others may not: the mode bits read 0640,
// whose group bits are the ACL's mask.
std::string aclOneOtherUserMayRead() {
    std::string acl;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) acl += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const auto entry = [&](std::uint32_t tag, std::uint32_t rights, std::uint32_t id) {
        put(tag, 2);
        put(rights, 2);
        put(id, 4);
    };
    constexpr std::uint32_t kNoId = 0xFFFFFFFF;
    put(2, 4);              // version
    entry(0x01, 6, kNoId);  // owner
    entry(0x02, 4, 12345);  // user 12345
    entry(0x04, 0, kNoId);  // owning group
    entry(0x10, 4, kNoId);  // mask
    entry(0x20, 0, kNoId);  // others
    return acl;
}

std::string attribute(const std::string& path, const char* name) {
    std::string value(4096, '\0');
    const ssize_t size = ::lgetxattr(path.c_str(), name, value.data(), value.size());
    value.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
    return value;
}

TEST_F(PosixTrashMounts, TheCopyKeepsTheAclAttributesAndOwnerOrIsRefused) {
    REQUIRE_MOUNTS();
    ASSERT_TRUE(mounts.tmpfs(tree.path("ram"), "size=4m"));
    constexpr uid_t kUser = 65534;
    constexpr const char* kAcl = "system.posix_acl_access";
    const std::string acl = aclOneOtherUserMayRead();
    for (const char* name : {"ram/kept.tmp", "ram/refused.tmp"}) {
        const std::string path = tree.path(name);
        writeFile(path, "for two readers");
        ASSERT_EQ(::chown(path.c_str(), kUser, kUser), 0);
        if (::setxattr(path.c_str(), kAcl, acl.data(), acl.size(), 0) != 0 && errno == EOPNOTSUPP)
            GTEST_SKIP() << "this system's tmpfs keeps no ACL";
        ASSERT_EQ(attribute(path, kAcl), acl);
        ASSERT_EQ(::setxattr(path.c_str(), "user.origin", "here", 4, 0), 0);
    }

    const RemoveResult kept = remover.moveToTrash(listed("ram/kept.tmp"));
    ASSERT_EQ(kept.outcome, RemoveOutcome::Removed) << kept.osError;
    const std::string copy = trash("files/kept.tmp");
    EXPECT_EQ(contents(copy), "for two readers");
    EXPECT_EQ(attribute(copy, kAcl), acl);
    EXPECT_EQ(attribute(copy, "user.origin"), "here");
    struct stat st {};
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, kUser);
    EXPECT_EQ(st.st_gid, kUser);

    // A home trash on a file system that keeps no ACL: a copy there would let group 65534 read
    // what only user 12345 could.
    ASSERT_TRUE(mounts.ramfs(tree.path("bare")));
    PosixFileRemover bare{tree.path("bare/Trash")};
    const RemoveResult refused = bare.moveToTrash(listed("ram/refused.tmp"));
    EXPECT_EQ(refused.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(refused.osError, EOPNOTSUPP);
    EXPECT_EQ(attribute(tree.path("ram/refused.tmp"), kAcl), acl);
    EXPECT_TRUE(namesIn(tree.path("bare/Trash/files")).empty());
    EXPECT_TRUE(namesIn(tree.path("bare/Trash/info")).empty());
}

std::string described(const HomeTrashPlace& place) {
    return (place.way == HomeTrashWay::UsersOwn ? "own " : "verified ") + place.base + " " +
           place.below;
}

TEST(PosixHomeTrash, OnlyAUserInTheirOwnHomeIsTakenAtTheEnvironmentsWord) {
    test::TempTree tree;
    tree.folder("own/data");
    // A user other than root who owns the folders named "own".
    uid_t user = ::geteuid();
    if (user == 0) {
        user = 65534;
        for (const char* rel : {"own", "own/data"})
            ASSERT_EQ(::chown(tree.path(rel).c_str(), user, user), 0);
    }
    const std::string own = tree.path("own"), data = tree.path("own/data");
    const std::string account = "/accounts/u";
    EXPECT_EQ(described(homeTrashPlace(user, data.c_str(), own.c_str(), account.c_str())),
              "own " + data + " Trash");
    EXPECT_EQ(described(homeTrashPlace(user, nullptr, own.c_str(), account.c_str())),
              "own " + own + " .local/share/Trash");
    const std::string unmade = data + "/not/made";
    EXPECT_EQ(described(homeTrashPlace(user, unmade.c_str(), nullptr, account.c_str())),
              "own " + unmade + " Trash");
    EXPECT_EQ(described(homeTrashPlace(user, "relative", own.c_str(), account.c_str())),
              "own " + own + " .local/share/Trash");

    // Another user's home, as `su` without `-` keeps it, or one nobody made for the user.
    const std::string verified = "verified " + account + " .local/share/Trash";
    EXPECT_EQ(described(homeTrashPlace(user + 1, data.c_str(), own.c_str(), account.c_str())),
              verified);
    EXPECT_EQ(described(homeTrashPlace(user, nullptr, "/", account.c_str())), verified);
    EXPECT_EQ(described(homeTrashPlace(user, nullptr, nullptr, account.c_str())), verified);
    // Root, whatever the environment says (as sudo -E keeps it).
    EXPECT_EQ(described(homeTrashPlace(0, data.c_str(), own.c_str(), "/root")),
              "verified /root .local/share/Trash");
    EXPECT_TRUE(homeTrashPlace(0, data.c_str(), own.c_str(), nullptr).base.empty());
}

// Runs `body` in a child process whose root folder is `root`, so that "/" and everything the body
// reaches from it lie in a test's tree; gives what the body returned ("" when the child could not
// be made so).
std::string inChangedRoot(const std::string& root, const std::function<std::string()>& body) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        const std::string said = ::chroot(root.c_str()) == 0 && ::chdir("/") == 0 ? body() : "";
        for (std::size_t put = 0; put < said.size();) {
            const ssize_t n = ::write(pipe[1], said.data() + put, said.size() - put);
            if (n <= 0) break;
            put += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    return said;
}

std::string said(const RemoveResult& result) {
    switch (result.outcome) {
        case RemoveOutcome::Removed:
            return "removed";
        case RemoveOutcome::AlreadyGone:
            return "gone";
        default:
            return "refused " + std::to_string(result.osError);
    }
}

TEST_F(PosixTrashMounts, RootsFilesGoOnlyWhereNoOtherUserReaches) {
    REQUIRE_MOUNTS();
    constexpr uid_t kUser = 65534;
    // The tree becomes "/" of a child: root's account home /root, a user's home /home/u whose
    // trash the environment names (as after `sudo -E`), root's files in /work, on the mount of
    // both homes, and in /mnt, a bind mount whose top the user owns, with a trash the user made.
    tree.folder("root");
    ::chmod(tree.path("root").c_str(), 0700);
    tree.folder("home/u/.local/share/Trash/files");
    tree.folder("home/u/.local/share/Trash/info");
    for (const auto& entry : fs::recursive_directory_iterator(tree.path("home/u")))
        ASSERT_EQ(::lchown(entry.path().c_str(), kUser, kUser), 0);
    ASSERT_EQ(::chown(tree.path("home/u").c_str(), kUser, kUser), 0);
    ASSERT_TRUE(mounts.bind(tree.path("disk"), tree.path("mnt")));
    for (const char* name : {"work/a.tmp", "mnt/b.tmp", "mnt/c.tmp", "mnt/e.tmp", "mnt/f.tmp",
                             "work/g1.tmp", "work/g2.tmp", "work/g3.tmp"}) {
        tree.file(name, 0);
        writeFile(tree.path(name), name);
        ::chmod(tree.path(name).c_str(), 0600);
    }
    const ino_t a = inodeOf(tree.path("work/a.tmp")), f = inodeOf(tree.path("mnt/f.tmp"));
    tree.folder("mnt/.Trash-0");
    ASSERT_EQ(::chown(tree.path("mnt/.Trash-0").c_str(), kUser, kUser), 0);
    ASSERT_EQ(::chown(tree.path("mnt").c_str(), kUser, kUser), 0);

    const std::string report = inChangedRoot(tree.root(), [] {
        std::string out;
        PosixFileRemover asRoot(homeTrashPlace(0, "/home/u/.local/share", "/home/u", "/root"));
        const auto bin = [&](const std::string& path) {
            out += path + ": " + said(asRoot.moveToTrash(test::listedFileOf(path))) + "\n";
        };
        bin("/work/a.tmp");  // moved into /root's trash
        bin("/mnt/b.tmp");   // the user's top and trash: copied into /root's
        ::rmdir("/mnt/.Trash-0");
        ::mkdir("/mnt/.Trash-0", 0700);
        bin("/mnt/c.tmp");  // root's own trash on the user's top: still copied
        ::chown("/mnt", 0, 0);
        ::chmod("/mnt", 0777);
        bin("/mnt/e.tmp");  // a top that anyone may write to: copied
        ::chmod("/mnt", 0755);
        bin("/mnt/f.tmp");  // a top of root's alone: moved into its trash
        // Ways to the home trash that another user controls, each found anew.
        asRoot.finishBatch();
        ::rename("/root/.local", "/root/.local-kept");
        ::symlink("/home/u/.local", "/root/.local");
        bin("/work/g1.tmp");
        ::unlink("/root/.local");
        ::mkdir("/root/.local", 0700);
        ::chown("/root/.local", kUser, kUser);
        bin("/work/g2.tmp");
        ::chown("/root/.local", 0, 0);
        ::chmod("/root/.local", 0777);
        bin("/work/g3.tmp");
        return out;
    });
    if (report.empty()) GTEST_SKIP() << "this process cannot change its root folder";
    const std::string refusedAsLink = "refused " + std::to_string(ENOTDIR);
    const std::string refusedAsOthers = "refused " + std::to_string(EPERM);
    EXPECT_EQ(report,
              "/work/a.tmp: removed\n/mnt/b.tmp: removed\n/mnt/c.tmp: removed\n"
              "/mnt/e.tmp: removed\n/mnt/f.tmp: removed\n/work/g1.tmp: " +
                  refusedAsLink + "\n/work/g2.tmp: " + refusedAsOthers +
                  "\n/work/g3.tmp: " + refusedAsOthers + "\n");

    const std::string rootTrash = tree.path("root/.local-kept/share/Trash");
    EXPECT_EQ(inodeOf(rootTrash + "/files/a.tmp"), a);
    EXPECT_EQ(recordedPath(rootTrash + "/info/a.tmp.trashinfo"), "/work/a.tmp");
    for (const char* name : {"b.tmp", "c.tmp", "e.tmp"}) {
        EXPECT_EQ(contents(rootTrash + "/files/" + name), std::string("mnt/") + name);
        EXPECT_EQ(recordedPath(rootTrash + "/info/" + name + ".trashinfo"),
                  std::string("/mnt/") + name);
    }
    EXPECT_EQ(inodeOf(tree.path("mnt/.Trash-0/files/f.tmp")), f);
    EXPECT_EQ(namesIn(tree.path("mnt/.Trash-0/files")), std::vector<std::string>{"f.tmp"});
    EXPECT_TRUE(namesIn(tree.path("home/u/.local/share/Trash/files")).empty());
    EXPECT_TRUE(namesIn(tree.path("home/u/.local/share/Trash/info")).empty());
    for (const char* name : {"work/g1.tmp", "work/g2.tmp", "work/g3.tmp"})
        EXPECT_TRUE(tree.exists(name)) << name;
}

}  // namespace
}  // namespace kelmora::platform::posix
