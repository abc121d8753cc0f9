// SPDX-License-Identifier: MIT
#include "platform/posix/listing/PosixFileSystem.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/posix/shared/StatIdentity.h"
#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

using ::testing::Contains;

const DirEntry* find(const std::vector<DirEntry>& entries, const std::string& name) {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const DirEntry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

FileIdentity identityOf(const std::string& path) {
    const auto id = posix::identityAt(AT_FDCWD, path.c_str());
    EXPECT_TRUE(id) << path;
    return id.value_or(FileIdentity{});
}

class PosixListing : public ::testing::Test {
  protected:
    PosixListing() { fs.beginScan(); }
    // Lists the root, then `rel` below it (if any) with the identity the root's listing gave it.
    std::vector<DirEntry> list(const std::string& rel = "") {
        std::vector<DirEntry> out;
        listed = fs.list(tree.root() + "/", std::nullopt, out);
        if (rel.empty()) return out;
        const auto expected = identityOf(tree.path(rel));
        out.clear();
        listed = fs.list(tree.path(rel) + "/", expected, out);
        return out;
    }
    test::TempTree tree;
    PosixFileSystem fs{PosixFileSystem::Sources{}};
    std::optional<FileIdentity> listed;
};

TEST_F(PosixListing, ClassifiesEntriesWithoutFollowingOrResolvingLinks) {
    tree.file("plain.tmp", 10);
    tree.file(".hidden.tmp", 1);
    tree.folder("dir");
    tree.symlink("dir", "dirlink");
    tree.symlink("plain.tmp", "filelink.tmp");
    tree.symlink("nowhere", "dangling.tmp");
    ASSERT_EQ(mkfifo(tree.path("pipe.tmp").c_str(), 0600), 0);
    const auto entries = list();
    ASSERT_EQ(listed, identityOf(tree.root()));

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
    // A listing tells a folder's number; its witness is read once it is opened.
    EXPECT_TRUE(dir->id.sameNumber(identityOf(tree.path("dir"))));

    // A link is never resolved, whatever it points to: no automount, no FUSE daemon is asked.
    for (const char* other : {"dirlink", "filelink.tmp", "dangling.tmp", "pipe.tmp"}) {
        ASSERT_NE(find(entries, other), nullptr) << other;
        EXPECT_EQ(find(entries, other)->type, EntryType::Other) << other;
    }
}

TEST_F(PosixListing, FileDetailsAreAskedByNameOfTheListedFolderOnly) {
    tree.file("big.tmp", 5'000'000'000ULL);  // sparse: past 32 bits, no disk used
    tree.file("sub/inner.tmp", 7);
    const auto entries = list();
    const DirEntry* big = find(entries, "big.tmp");
    ASSERT_NE(big, nullptr);
    const auto details = fs.fileDetails(*big);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->size, 5'000'000'000LL);
    EXPECT_EQ(details->id, identityOf(tree.path("big.tmp")));

    // Replaced by a link since the listing: nothing; gone: nothing.
    ASSERT_EQ(rename(tree.path("big.tmp").c_str(), tree.path("moved.tmp").c_str()), 0);
    tree.symlink("moved.tmp", "big.tmp");
    EXPECT_EQ(fs.fileDetails(*big), std::nullopt);
    ASSERT_EQ(unlink(tree.path("big.tmp").c_str()), 0);
    EXPECT_EQ(fs.fileDetails(*big), std::nullopt);

    // A name of another folder is not looked for in the listed one.
    DirEntry inner = *big;
    inner.name = "inner.tmp";
    EXPECT_EQ(fs.fileDetails(inner), std::nullopt);
    list("sub");
    ASSERT_TRUE(fs.fileDetails(inner));
    EXPECT_EQ(fs.fileDetails(inner)->size, 7);
}

TEST_F(PosixListing, FolderThatIsNoLongerTheListedOneYieldsNothing) {
    tree.file("a/x.tmp", 1);
    tree.folder("b");
    std::vector<DirEntry> out;
    fs.list(tree.root() + "/", std::nullopt, out);
    const FileIdentity a = find(out, "a")->id;
    const FileIdentity b = find(out, "b")->id;

    out.clear();
    EXPECT_EQ(fs.list(tree.path("a") + "/", b, out), std::nullopt) << "another folder's identity";
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(fs.list(tree.path("missing") + "/", a, out), std::nullopt);
    EXPECT_TRUE(out.empty());

    // Swapped for a link to the very folder listed: still refused, the link is not followed.
    ASSERT_EQ(rename(tree.path("a").c_str(), tree.path("a.old").c_str()), 0);
    tree.symlink("a.old", "a");
    EXPECT_EQ(fs.list(tree.path("a") + "/", a, out), std::nullopt);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(fs.list(tree.path("a.old") + "/", a, out), identityOf(tree.path("a.old")));
    EXPECT_NE(find(out, "x.tmp"), nullptr);
}

TEST_F(PosixListing, NamesAreBytesAndSurviveTheRoundTrip) {
    const std::string name = "bad\xff\xfe name*?.tmp";
    tree.file(name, 3);
    const auto entries = list();
    ASSERT_NE(find(entries, name), nullptr);
    EXPECT_EQ(fs.fileDetails(*find(entries, name))->size, 3);
}

TEST(PosixTrashLocations, FollowXdgDataHomeAndHome) {
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedData = oldData ? oldData : "", savedHome = oldHome ? oldHome : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    setenv("HOME", "/h", 1);
    const auto is = [](std::string base, std::vector<std::string> below) {
        return ::testing::AllOf(::testing::Field(&TrashLocation::base, base),
                                ::testing::Field(&TrashLocation::below, below));
    };
    EXPECT_THAT(homeTrashLocations(), Contains(is("/data/home", {"Trash"})));
    EXPECT_THAT(homeTrashLocations(), Contains(is("/h", {".local", "share", "Trash"})));
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored, as the rules say
    EXPECT_THAT(homeTrashLocations(),
                ::testing::Not(Contains(::testing::Field(&TrashLocation::base, "relative"))));
    if (oldData)
        setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    if (oldHome) setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace kelmora::platform::posix
