// SPDX-License-Identifier: MIT
#include "platform/win32/Win32FileSystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/win32/Win32Identity.h"
#include "tests/win32/WinTree.h"

namespace kelmora {
namespace {

using platform::DirEntry;
using platform::EntryType;
using platform::win32::Win32FileSystem;
using ::testing::UnorderedElementsAre;

class Win32Listing : public ::testing::Test {
  protected:
    std::map<std::wstring, DirEntry> listing(const std::wstring& folder,
                                             std::optional<platform::FileIdentity> expected = {}) {
        std::vector<DirEntry> entries;
        listed = fs.list(folder, expected, entries).has_value();
        std::map<std::wstring, DirEntry> byName;
        for (auto& e : entries) byName[e.name] = e;
        return byName;
    }
    // Skips the test where the drive cannot keep an attribute (Wine on tmpfs).
    void attributes(const std::wstring& rel, DWORD attributes) {
        if (!tree.setAttributes(rel, attributes))
            GTEST_SKIP() << "the drive does not keep file attributes (user.DOSATTRIB under Wine)";
    }

    test::WinTree tree;
    Win32FileSystem fs{[](const std::wstring&) { return false; }};
    bool listed = false;
};

TEST_F(Win32Listing, EntriesCarryTheirOwnHiddenAndSystemAttributes) {
    ASSERT_TRUE(tree.file(L"plain.tmp"));
    ASSERT_TRUE(tree.file(L"hidden.tmp"));
    ASSERT_TRUE(tree.file(L"system.tmp"));
    ASSERT_TRUE(tree.file(L"readonly.tmp"));
    ASSERT_TRUE(tree.folder(L"dir"));
    ASSERT_TRUE(tree.folder(L"hiddendir"));
    ASSERT_TRUE(tree.folder(L"systemdir"));
    attributes(L"hidden.tmp", FILE_ATTRIBUTE_HIDDEN);
    attributes(L"system.tmp", FILE_ATTRIBUTE_SYSTEM);
    attributes(L"readonly.tmp", FILE_ATTRIBUTE_READONLY);
    attributes(L"hiddendir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    attributes(L"systemdir", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);

    auto all = listing(tree.folderPath());
    ASSERT_TRUE(listed);
    ASSERT_EQ(all.size(), 9U);  // with "." and "..", which a folder below the root lists
    EXPECT_EQ(all[L"."].type, EntryType::Folder);
    EXPECT_EQ(all[L".."].type, EntryType::Folder);
    const auto is = [&](const wchar_t* name, EntryType type, bool hidden, bool system) {
        const DirEntry& e = all[name];
        EXPECT_EQ(e.type, type) << name;
        EXPECT_EQ(e.hidden, hidden) << name;
        EXPECT_EQ(e.system, system) << name;
    };
    is(L"plain.tmp", EntryType::File, false, false);
    is(L"hidden.tmp", EntryType::File, true, false);
    is(L"system.tmp", EntryType::File, false, true);
    is(L"readonly.tmp", EntryType::File, false, false);  // read-only never hides a file
    is(L"dir", EntryType::Folder, false, false);
    is(L"hiddendir", EntryType::Folder, true, false);
    is(L"systemdir", EntryType::Folder, false, true);
}

TEST_F(Win32Listing, GivesTheScanItsFilesAndTheSubfoldersToEnter) {
    ASSERT_TRUE(tree.file(L"a.tmp"));
    ASSERT_TRUE(tree.file(L"b.txt"));
    ASSERT_TRUE(tree.folder(L"old.tmp"));
    ASSERT_TRUE(tree.folder(L"hiddendir"));
    ASSERT_TRUE(tree.folder(L"systemdir"));
    attributes(L"hiddendir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    attributes(L"systemdir", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
    std::vector<std::wstring> files, subfolders;
    for (const auto& [name, e] : listing(tree.folderPath())) {
        if (e.type == EntryType::File) files.push_back(name);
        if (e.type == EntryType::Folder && !e.system && name != L"." && name != L"..")
            subfolders.push_back(name);
    }
    EXPECT_THAT(files, UnorderedElementsAre(L"a.tmp", L"b.txt"));
    EXPECT_THAT(subfolders, UnorderedElementsAre(L"old.tmp", L"hiddendir"));
}

TEST_F(Win32Listing, LinkedFolderIsMarkedSystemAndLinkedFileIsNoFile) {
    ASSERT_TRUE(tree.folder(L"target"));
    ASSERT_TRUE(tree.file(L"target\\inside.tmp"));
    const DWORD folderLink =
        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    // Wine 8 answers success and makes nothing, and has no junctions (FSCTL_SET_REPARSE_POINT).
    if (!CreateSymbolicLinkW(tree.path(L"link").c_str(), tree.path(L"target").c_str(),
                             folderLink) ||
        !tree.exists(L"link"))
        GTEST_SKIP() << "this system makes no folder links";
    const bool fileLink =
        CreateSymbolicLinkW(tree.path(L"file-link.tmp").c_str(),
                            tree.path(L"target\\inside.tmp").c_str(),
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE &&
        tree.exists(L"file-link.tmp");
    auto all = listing(tree.folderPath());
    ASSERT_TRUE(all.contains(L"link"));
    EXPECT_EQ(all[L"link"].type, EntryType::Folder);
    EXPECT_TRUE(all[L"link"].system);  // never entered
    EXPECT_FALSE(all[L"target"].system);
    if (fileLink) {
        EXPECT_EQ(all[L"file-link.tmp"].type, EntryType::Other);
        EXPECT_EQ(fs.fileDetails(all[L"file-link.tmp"]), std::nullopt);
    }
    // Asked for the link as if it were the folder listed: refused, not followed.
    listing(tree.folderPath(L"link"), all[L"link"].id);
    EXPECT_FALSE(listed);
}

TEST_F(Win32Listing, MissingOrSwappedFolderFailsAndAppendsNothing) {
    std::vector<DirEntry> entries{{L"kept", EntryType::File, false, false, {}, -1}};
    EXPECT_FALSE(fs.list(tree.folderPath(L"missing"), std::nullopt, entries));
    EXPECT_EQ(entries.size(), 1U);  // the listing only appends

    ASSERT_TRUE(tree.folder(L"a"));
    ASSERT_TRUE(tree.file(L"a\\x.tmp"));
    auto top = listing(tree.folderPath());
    const auto a = top[L"a"].id;
    EXPECT_EQ(fs.list(tree.folderPath(L"a"), a, entries), a);
    // Replaced by another folder of the same name since the listing: refused.
    ASSERT_TRUE(MoveFileW(tree.path(L"a").c_str(), tree.path(L"a.old").c_str()));
    ASSERT_TRUE(tree.folder(L"a"));
    entries.clear();
    EXPECT_EQ(fs.list(tree.folderPath(L"a"), a, entries), std::nullopt);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(fs.list(tree.folderPath(L"a.old"), a, entries), a);
}

TEST_F(Win32Listing, NamesKeepTheirUtf16Form) {
    // The non-ASCII names must be made, or the test would check nothing beyond ASCII (under Wine
    // they need a UTF-8 Unix locale). Some drives refuse a final dot: that name is only tried.
    std::vector<std::wstring> made = {L"p\u0159\u00edli\u0161 \u017elu\u0165ou\u010dk\u00fd.tmp",
                                      L"emoji \U0001F600.tmp", L"semi;colon&.tmp"};
    for (const auto& n : made) ASSERT_TRUE(tree.file(n, 3)) << "cannot make a name to list";
    if (tree.file(L"dot at end.tmp.", 3)) made.push_back(L"dot at end.tmp.");
    auto all = listing(tree.folderPath());
    for (const auto& n : made) {
        ASSERT_TRUE(all.contains(n)) << "lost a name";
        EXPECT_EQ(fs.fileDetails(all[n])->size, 3);
    }
}

// The identity of the file or folder at `path` as the remover reads it from a handle: the
// listing must report the same, or no listed file could ever be removed.
platform::FileIdentity identityOf(const std::wstring& path) {
    const HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    DWORD error = 0;
    const auto identity = platform::win32::identityOfHandle(h, error);
    CloseHandle(h);
    EXPECT_TRUE(identity) << error;
    return identity.value_or(platform::FileIdentity{});
}

TEST_F(Win32Listing, SizesAreSixtyFourBitAndEveryEntryHasItsIdentity) {
    const std::int64_t big = 5LL * 1024 * 1024 * 1024 + 7;  // past 4 GiB: both halves count
    ASSERT_TRUE(tree.file(L"big.tmp", big));
    ASSERT_TRUE(tree.folder(L"dir.tmp"));
    auto all = listing(tree.folderPath());
    ASSERT_TRUE(listed);
    const auto details = fs.fileDetails(all[L"big.tmp"]);
    ASSERT_TRUE(details);
    EXPECT_EQ(details->size, big);
    EXPECT_EQ(details->id, identityOf(tree.path(L"big.tmp")));
    EXPECT_EQ(all[L"dir.tmp"].id, identityOf(tree.path(L"dir.tmp")));
    EXPECT_EQ(fs.fileDetails(all[L"dir.tmp"]), std::nullopt);
    std::vector<DirEntry> again;
    EXPECT_EQ(fs.list(tree.folderPath(), std::nullopt, again), identityOf(tree.root()));
}

TEST(Win32Protection, AsksTheInjectedCheckWithTheFullPath) {
    std::vector<std::wstring> asked;
    Win32FileSystem fs{[&](const std::wstring& path) {
        asked.push_back(path);
        return path.ends_with(L"guarded.dll");
    }};
    EXPECT_TRUE(fs.isProtected(L"C:\\windows\\guarded.dll", {}));
    EXPECT_FALSE(fs.isProtected(L"C:\\temp\\x.tmp", {}));
    EXPECT_THAT(asked, UnorderedElementsAre(L"C:\\windows\\guarded.dll", L"C:\\temp\\x.tmp"));
}

TEST(Win32Protection, ResourceProtectionLeavesATemporaryFileOffered) {
    // Windows Resource Protection guards only the system's own files (Wine's answers no to all).
    test::WinTree tree;
    ASSERT_TRUE(tree.file(L"mine.tmp"));
    EXPECT_FALSE(platform::win32::isFileGuardedBySystem(tree.path(L"mine.tmp")));
    EXPECT_FALSE(Win32FileSystem{}.isProtected(tree.path(L"mine.tmp"), {}));
}

TEST(Win32EntryMapping, ReparsePointsOtherThanLinksAreOrdinary) {
    using platform::win32::toDirEntry;
    const DWORD reparse = FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD folder = FILE_ATTRIBUTE_DIRECTORY;
    // Junctions, symbolic links: never entered, never listed as files.
    EXPECT_TRUE(toDirEntry(L"j", folder | reparse, IO_REPARSE_TAG_MOUNT_POINT).system);
    EXPECT_TRUE(toDirEntry(L"s", folder | reparse, IO_REPARSE_TAG_SYMLINK).system);
    EXPECT_EQ(toDirEntry(L"f", reparse, IO_REPARSE_TAG_SYMLINK).type, EntryType::Other);
    // A cloud-file placeholder is entered and listed like any folder or file.
    const DWORD cloud = 0x9000001A;  // IO_REPARSE_TAG_CLOUD_1, no name surrogate
    EXPECT_FALSE(toDirEntry(L"c", folder | reparse, cloud).system);
    EXPECT_EQ(toDirEntry(L"c", folder | reparse, cloud).type, EntryType::Folder);
    EXPECT_EQ(toDirEntry(L"p", reparse, cloud).type, EntryType::File);
    // Wine lists a Unix symbolic link as a reparse point without a tag: not entered either.
    EXPECT_TRUE(toDirEntry(L"u", folder | reparse, 0).system);
    // The tag field means nothing without the reparse attribute.
    EXPECT_FALSE(toDirEntry(L"d", folder, IO_REPARSE_TAG_SYMLINK).system);
    EXPECT_EQ(toDirEntry(L"v", FILE_ATTRIBUTE_DEVICE, 0).type, EntryType::Other);
}

}  // namespace
}  // namespace kelmora
