#include "platform/posix/PosixFileSystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

using ::testing::UnorderedElementsAre;

std::string noMounts() { return {}; }

const DirEntry* find(const std::vector<DirEntry>& entries, const std::string& name) {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const DirEntry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

class PosixListing : public ::testing::Test {
  protected:
    std::vector<DirEntry> list(const std::string& rel = "") {
        std::vector<DirEntry> out;
        const std::string folder = (rel.empty() ? tree.root() : tree.path(rel)) + "/";
        ok = fs.list(folder, out);
        return out;
    }
    test::TempTree tree;
    PosixFileSystem fs{noMounts, ""};
    bool ok = false;
};

TEST_F(PosixListing, ClassifiesEntriesWithoutFollowingLinks) {
    tree.file("plain.tmp", 10);
    tree.file(".hidden.tmp", 1);
    tree.folder("dir");
    tree.symlink("dir", "dirlink");
    tree.symlink("plain.tmp", "filelink.tmp");
    tree.symlink("nowhere", "dangling.tmp");
    ASSERT_EQ(mkfifo(tree.path("pipe.tmp").c_str(), 0600), 0);
    fs.beginScan();
    const auto entries = list();
    EXPECT_TRUE(ok);

    const DirEntry* plain = find(entries, "plain.tmp");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->type, EntryType::File);
    EXPECT_FALSE(plain->hidden);
    ASSERT_NE(find(entries, ".hidden.tmp"), nullptr);
    EXPECT_TRUE(find(entries, ".hidden.tmp")->hidden);

    const DirEntry* dir = find(entries, "dir");
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(dir->type, EntryType::Folder);
    EXPECT_FALSE(dir->system);

    const DirEntry* dirlink = find(entries, "dirlink");
    ASSERT_NE(dirlink, nullptr);
    EXPECT_EQ(dirlink->type, EntryType::Folder);
    EXPECT_TRUE(dirlink->system) << "a link to a folder must never be entered";

    for (const char* other : {"filelink.tmp", "dangling.tmp", "pipe.tmp"}) {
        ASSERT_NE(find(entries, other), nullptr) << other;
        EXPECT_EQ(find(entries, other)->type, EntryType::Other) << other;
    }
}

TEST_F(PosixListing, SizesAreReadForRegularFilesOnly) {
    tree.file("big.tmp", 5'000'000'000ULL);  // sparse: past 32 bits, no disk used
    tree.symlink("big.tmp", "link.tmp");
    tree.folder("dir.tmp");
    EXPECT_EQ(fs.fileSize(tree.path("big.tmp")), 5'000'000'000LL);
    EXPECT_EQ(fs.fileSize(tree.path("link.tmp")), std::nullopt);
    EXPECT_EQ(fs.fileSize(tree.path("dir.tmp")), std::nullopt);
    EXPECT_EQ(fs.fileSize(tree.path("missing.tmp")), std::nullopt);
}

TEST_F(PosixListing, MissingOrUnreadableFolderYieldsNothing) {
    EXPECT_TRUE(list("missing").empty());
    EXPECT_FALSE(ok);
    if (geteuid() == 0) GTEST_SKIP() << "permission bits stop nothing for root";
    tree.file("locked/x.tmp", 1);
    ASSERT_EQ(chmod(tree.path("locked").c_str(), 0), 0);
    EXPECT_TRUE(list("locked").empty());
    EXPECT_FALSE(ok);
}

TEST_F(PosixListing, NamesAreBytesAndSurviveTheRoundTrip) {
    const std::string name = "bad\xff\xfe name*?.tmp";
    tree.file(name, 3);
    const auto entries = list();
    ASSERT_NE(find(entries, name), nullptr);
    EXPECT_EQ(fs.fileSize(tree.path(name)), 3);
}

TEST(PosixSystemFolders, PseudoAndRemoteMountsAndTrashFoldersAreSystem) {
    test::TempTree tree;
    const std::string root = tree.root();
    for (const char* name : {"proc", "share", "disk", "home", ".Trash", ".Trash-1000", "plain"})
        tree.folder(name);
    tree.folder("home/.local/share/Trash");
    tree.folder("disk/.Trash-0");
    const std::string mountInfo =
        "22 1 0:5 / " + root + "/proc rw - proc proc rw\n" + "23 1 0:6 / " + root +
        "/share rw shared:1 - fuse.sshfs host: rw\n" + "24 1 8:1 / " + root +
        "/disk rw - ext4 /dev/sda1 rw\n" + "25 1 8:2 / " + root + " rw - ext4 /dev/sda2 rw\n";
    PosixFileSystem fs([&] { return mountInfo; }, root + "/home/.local/share/Trash");
    fs.beginScan();

    std::vector<DirEntry> top;
    fs.list(root + "/", top);
    std::vector<std::string> system;
    for (const auto& e : top)
        if (e.type == EntryType::Folder && e.system) system.push_back(e.name);
    EXPECT_THAT(system, UnorderedElementsAre("proc", "share", ".Trash", ".Trash-1000"));

    std::vector<DirEntry> disk;
    fs.list(root + "/disk/", disk);
    ASSERT_NE(find(disk, ".Trash-0"), nullptr);
    EXPECT_TRUE(find(disk, ".Trash-0")->system);

    std::vector<DirEntry> share;
    fs.list(root + "/home/.local/share/", share);
    ASSERT_NE(find(share, "Trash"), nullptr);
    EXPECT_TRUE(find(share, "Trash")->system);
}

TEST(PosixSystemFolders, TrashFolderFollowsXdgDataHome) {
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string saved = oldData ? oldData : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(homeTrashFolder(), "/data/home/Trash");
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored, as the rules say
    setenv("HOME", "/h", 1);
    EXPECT_EQ(homeTrashFolder(), "/h/.local/share/Trash");
    if (oldData)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace kelmora::platform::posix
