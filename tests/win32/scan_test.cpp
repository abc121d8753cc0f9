// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win32/Win32FileSystem.h"
#include "scan/Masks.h"
#include "scan/Scan.h"
#include "tests/support/RecordingView.h"
#include "tests/support/ScanTree.h"
#include "tests/win32/WinTree.h"

namespace kelmora {
namespace {

using ::testing::UnorderedElementsAre;

// The real scan through the Win32 file system over a temporary tree on the Wine (or Windows) drive.
class Win32Scan : public ::testing::Test {
  protected:
    std::vector<std::wstring> scanTree() {
        platform::win32::Win32FileSystem fs{
            [this](const std::wstring& path) { return path == tree.path(L"guarded.tmp"); }};
        auto found = test::scanTree(fs, tree.root());
        view = found.view;
        sizes = found.sizes;
        return found.relative;
    }
    void attributes(const std::wstring& rel, DWORD attributes) {
        if (!tree.setAttributes(rel, attributes))
            GTEST_SKIP() << "the drive does not keep file attributes (user.DOSATTRIB under Wine)";
    }
    test::WinTree tree;
    test::RecordingView view;
    std::vector<std::int64_t> sizes;
};

TEST_F(Win32Scan, ListsMatchingFilesAtEveryDepthButNothingBelowASystemFolder) {
    ASSERT_TRUE(tree.file(L"root.tmp", 100));
    ASSERT_TRUE(tree.folder(L"a"));
    ASSERT_TRUE(tree.folder(L"a\\b"));
    ASSERT_TRUE(tree.file(L"a\\b\\deep.BAK", 200));
    ASSERT_TRUE(tree.file(L"a\\keep.txt", 5));
    ASSERT_TRUE(tree.folder(L"old.tmp"));  // entered, never listed
    ASSERT_TRUE(tree.file(L"old.tmp\\x.~ab", 1));
    ASSERT_TRUE(tree.folder(L"hid"));
    ASSERT_TRUE(tree.file(L"hid\\h.old", 3));
    ASSERT_TRUE(tree.file(L"hidden-file.chk", 4));
    ASSERT_TRUE(tree.folder(L"sys"));
    ASSERT_TRUE(tree.file(L"sys\\never.tmp", 6));
    ASSERT_TRUE(tree.file(L"guarded.tmp", 7));  // Windows Resource Protection's (injected)
    attributes(L"hid", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    attributes(L"hidden-file.chk", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    attributes(L"sys", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_THAT(scanTree(), UnorderedElementsAre(L"root.tmp", L"a\\b\\deep.BAK", L"old.tmp\\x.~ab",
                                                 L"hid\\h.old", L"hidden-file.chk"));
    EXPECT_EQ(view.pathLine.back(), L'\\');
}

TEST_F(Win32Scan, SizesPastFourGibibytesAreExact) {
    const std::int64_t big = 4LL * 1024 * 1024 * 1024 + 1;
    ASSERT_TRUE(tree.file(L"huge.tmp", big));
    ASSERT_EQ(scanTree().size(), 1U);
    EXPECT_EQ(sizes[0], big);
}

}  // namespace
}  // namespace kelmora
