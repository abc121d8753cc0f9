#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/PosixFileSystem.h"
#include "scan/Masks.h"
#include "scan/Scan.h"
#include "tests/support/RecordingView.h"
#include "tests/support/ScanTree.h"
#include "tests/support/TempTree.h"

namespace kelmora {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// The real scan over a real temporary tree.
class PosixScan : public ::testing::Test {
  protected:
    std::vector<std::string> scanTree() {
        platform::posix::PosixFileSystem fs([] { return std::string(); }, "");
        auto found = test::scanTree(fs, tree.root());
        view = found.view;
        sizes = found.sizes;
        return found.relative;
    }
    test::TempTree tree;
    test::RecordingView view;
    std::vector<std::int64_t> sizes;
};

TEST_F(PosixScan, FindsFilesAtEveryDepthIncludingHiddenFolders) {
    tree.file("root.tmp", 100);
    tree.file("a/b/c/d/e/deep.bak", 200);
    tree.file(".cache/x.old", 300);
    tree.file("a/keep.txt", 5);
    tree.folder("empty");
    EXPECT_THAT(scanTree(), UnorderedElementsAre("root.tmp", "a/b/c/d/e/deep.bak", ".cache/x.old"));
    EXPECT_EQ(view.pathLine.back(), '/');
}

TEST_F(PosixScan, NeverFollowsLinksOutOfTheTreeOrAroundACycle) {
    test::TempTree outside;
    outside.file("victim.tmp", 1);
    tree.symlink(outside.root(), "escape");
    tree.symlink(outside.path("victim.tmp"), "victim-link.tmp");
    tree.folder("loop");
    tree.symlink("..", "loop/up");
    tree.file("loop/in.tmp", 1);
    EXPECT_THAT(scanTree(), ElementsAre("loop/in.tmp"));
}

TEST_F(PosixScan, HostileNamesKeepTheirBytesAndSizes) {
    const std::string names[] = {"sp ace.tmp", "new\nline.tmp", "star*q?.tmp", "bad\xff.tmp",
                                 "-dash.tmp"};
    std::int64_t size = 1;
    for (const auto& n : names) tree.file(n, static_cast<std::uintmax_t>(size++));
    const auto found = scanTree();
    ASSERT_EQ(found.size(), 5U);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const auto it = std::find(std::begin(names), std::end(names), found[i]);
        ASSERT_NE(it, std::end(names)) << found[i];
        EXPECT_EQ(sizes[i], it - std::begin(names) + 1);
    }
}

TEST_F(PosixScan, FifoMatchingAMaskIsNeitherListedNorOpened) {
    ASSERT_EQ(mkfifo(tree.path("pipe.tmp").c_str(), 0600), 0);
    tree.file("real.tmp", 1);
    EXPECT_THAT(scanTree(), ElementsAre("real.tmp"));  // returns at all: the FIFO was not opened
}

TEST_F(PosixScan, UnreadableFolderIsPassedOver) {
    if (geteuid() == 0) GTEST_SKIP() << "permission bits stop nothing for root";
    tree.file("locked/hidden.tmp", 1);
    tree.file("open/seen.tmp", 1);
    ASSERT_EQ(chmod(tree.path("locked").c_str(), 0), 0);
    EXPECT_THAT(scanTree(), ElementsAre("open/seen.tmp"));
}

}  // namespace
}  // namespace kelmora
