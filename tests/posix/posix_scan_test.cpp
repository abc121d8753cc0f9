// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/listing/SoftwareStores.h"
#include "platform/posix/shared/StatIdentity.h"
#include "results/Selection.h"
#include "scan/Masks.h"
#include "scan/Scan.h"
#include "tests/support/RecordingView.h"
#include "tests/support/ScanTree.h"
#include "tests/support/TempTree.h"

namespace kelmora {
namespace {

using platform::FileIdentity;
using platform::posix::PosixFileSystem;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

FileIdentity identityAt(int dirFd, const std::string& name) {
    const auto id = platform::posix::identityAt(dirFd, name.c_str());
    EXPECT_TRUE(id) << name;
    return id.value_or(FileIdentity{});
}

// The real scan over a real temporary tree.
class PosixScan : public ::testing::Test {
  protected:
    std::vector<std::string> scanTree(const std::function<void(MainState&)>& onPause = {}) {
        PosixFileSystem fs(sources);
        auto found = test::scanTree(fs, tree.root(), onPause);
        view = found.view;
        sizes = found.sizes;
        rows = found.rows;
        return found.relative;
    }
    test::TempTree tree;
    PosixFileSystem::Sources sources;
    test::RecordingView view;
    std::vector<std::int64_t> sizes;
    std::vector<test::FoundRow> rows;
};

TEST_F(PosixScan, FindsFilesAtEveryDepthWithTheirIdentities) {
    tree.file("root.tmp", 100);
    tree.file("a/b/c/d/e/deep.bak", 200);
    tree.file(".cache/x.old", 300);
    tree.file("a/keep.txt", 5);
    tree.folder("empty");
    EXPECT_THAT(scanTree(), UnorderedElementsAre("root.tmp", "a/b/c/d/e/deep.bak", ".cache/x.old"));
    EXPECT_EQ(view.pathLine.back(), '/');
    for (const auto& row : rows) {
        const auto cut = row.path.rfind('/');
        EXPECT_EQ(row.file, identityAt(AT_FDCWD, row.path)) << row.path;
        EXPECT_EQ(row.folder, identityAt(AT_FDCWD, row.path.substr(0, cut))) << row.path;
    }
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

TEST_F(PosixScan, FolderSwappedBetweenItsListingAndItsVisitIsNotEntered) {
    test::TempTree outside;
    outside.file("etc/shadow.old", 1);
    tree.file("a/mine.tmp", 1);  // becomes a link to a folder outside the tree
    tree.file("b/mine.tmp", 1);  // becomes another folder of the same name
    tree.file("c/kept.tmp", 1);
    bool swapped = false;
    const auto found = scanTree([&](MainState&) {
        if (swapped) return;  // the root is listed, a, b and c wait on the stack
        swapped = true;
        ASSERT_EQ(rename(tree.path("a").c_str(), tree.path("a.moved").c_str()), 0);
        tree.symlink(outside.path("etc"), "a");
        ASSERT_EQ(rename(tree.path("b").c_str(), tree.path("b.moved").c_str()), 0);
        tree.file("b/planted.tmp", 1);
    });
    EXPECT_THAT(found, ElementsAre("c/kept.tmp"));
}

// Nested folders made and removed by descriptors, so that their paths may exceed PATH_MAX.
class Chain {
  public:
    Chain(const std::string& base, const std::string& name, int levels) : name_(name) {
        fds_.push_back(open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < levels; ++i) {
            EXPECT_EQ(mkdirat(fds_.back(), name.c_str(), 0700), 0);
            ids.push_back(identityAt(fds_.back(), name));
            fds_.push_back(openat(fds_.back(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
    }
    ~Chain() {
        unlinkat(fds_.back(), "deep.tmp", 0);
        for (std::size_t i = fds_.size() - 1; i > 0; --i) {
            close(fds_[i]);
            unlinkat(fds_[i - 1], name_.c_str(), AT_REMOVEDIR);
        }
        close(fds_[0]);
    }
    void file(std::int64_t size) const {
        const int fd = openat(fds_.back(), "deep.tmp", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
    }
    std::vector<FileIdentity> ids;  // level by level, the outermost first

  private:
    std::string name_;
    std::vector<int> fds_;
};

TEST_F(PosixScan, ReachesFilesPastPathMaxAndReopensFarAncestors) {
    const std::string name(100, 'n');
    const int levels = 60;  // about 6 KB of path, deeper than the descriptors kept open
    Chain chain(tree.root(), name, levels);
    chain.file(5);
    tree.file("near.tmp", 1);
    const auto found = scanTree();
    ASSERT_EQ(found.size(), 2U);
    std::string deep;
    for (int i = 0; i < levels; ++i) deep += name + "/";
    EXPECT_THAT(found, UnorderedElementsAre("near.tmp", deep + "deep.tmp"));
    const std::size_t at = found[0] == "near.tmp" ? 1 : 0;
    EXPECT_GT(rows[at].path.size(), std::size_t{PATH_MAX});
    EXPECT_EQ(sizes[at], 5);

    // Asked directly: the deepest folder from the root alone, then one near the top again, whose
    // ancestors are no longer held open.
    PosixFileSystem fs(sources);
    fs.beginScan();
    std::vector<platform::DirEntry> out;
    ASSERT_TRUE(fs.list(tree.root() + "/", std::nullopt, out));
    const auto folder = [&](int level) {
        std::string path = tree.root() + "/";
        for (int i = 0; i < level; ++i) path += name + "/";
        return path;
    };
    out.clear();
    EXPECT_EQ(fs.list(folder(levels), chain.ids[levels - 1], out), chain.ids[levels - 1]);
    ASSERT_EQ(out.size(), 3U);  // ".", ".." and deep.tmp
    out.clear();
    EXPECT_EQ(fs.list(folder(2), chain.ids[1], out), chain.ids[1]);
    out.clear();
    EXPECT_EQ(fs.list(folder(3), chain.ids[1], out), std::nullopt) << "level 3 is not level 2";
}

TEST_F(PosixScan, FewDescriptorsLeftLoseNoFolder) {
    // Deeper than 40 descriptors reach, in a process allowed 40 (`ulimit -n 40`).
    std::string deep;
    for (int level = 0; level < 60; ++level) deep += "d/";
    tree.file(deep + "deep.tmp", 1);
    tree.file("near.tmp", 1);
    const auto scanWithFewDescriptors = [&] {
        rlimit few{};
        few.rlim_cur = few.rlim_max = 40;
        if (setrlimit(RLIMIT_NOFILE, &few) != 0) _exit(2);
        const auto found = scanTree();
        const bool both = found.size() == 2 &&
                          std::find(found.begin(), found.end(), deep + "deep.tmp") != found.end();
        _exit(both ? 0 : 1);
    };
    EXPECT_EXIT(scanWithFewDescriptors(), ::testing::ExitedWithCode(0), "");
}

TEST_F(PosixScan, HomeTrashIsKnownByIdentityHoweverTheHomeIsSpelled) {
    tree.file("var/home/u/.local/share/Trash/files/thrown.tmp", 1);
    tree.file("var/home/u/.local/share/Trash/info/thrown.tmp.trashinfo", 1);
    tree.file("var/home/u/work.tmp", 1);
    // Not at the top of a mount: an ordinary folder of that name.
    tree.file("var/home/u/.Trash-1000/mine.tmp", 1);
    tree.symlink("var/home", "home");  // as on image-based systems
    sources.trashLocations = [this] {
        return std::vector<platform::posix::TrashLocation>{
            {tree.path("home/u"), {".local", "share", "Trash"}}};
    };
    EXPECT_THAT(scanTree(),
                UnorderedElementsAre("var/home/u/work.tmp", "var/home/u/.Trash-1000/mine.tmp"));
}

TEST_F(PosixScan, SoftwareStoresAreNeverEntered) {
    // Flatpak's deployed files are hard links into its object store; Nix's and Guix's stores are
    // read-only trees that only their own tools change.
    tree.file("h/.local/share/flatpak/repo/objects/ab/cd.tmp", 1);
    tree.file("h/.local/share/flatpak/app/org.x/current/active/files/lib.chk", 1);
    tree.file("h/.local/share/other/own.tmp", 1);
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", tree.path("h").c_str(), 1);
    const auto stores = platform::posix::softwareStoreLocations();
    setenv("HOME", savedHome.c_str(), 1);
    for (const char* system : {"/var/lib/flatpak", "/nix/store", "/gnu/store"})
        EXPECT_TRUE(std::any_of(stores.begin(), stores.end(), [&](const auto& at) {
            return at.base == system;
        })) << system;
    sources.storeLocations = [stores] { return stores; };
    EXPECT_THAT(scanTree(), UnorderedElementsAre("h/.local/share/other/own.tmp"));
}

TEST_F(PosixScan, FoldersWaitingBeyondTheStackCostMemoryByTheirNames) {
    // 5,000 folders in a folder whose path is about 3.8 KB long: 1,001 fit on the stack and the
    // rest wait. Kept as whole paths they would take 15 MB.
    std::string deep;
    for (char c = 'a'; c < 'a' + 16; ++c) deep += std::string(235, c) + "/";
    tree.folder(deep);
    const int many = 5000;
    {
        const int fd = open(tree.path(deep).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < many; ++i)
            ASSERT_EQ(mkdirat(fd, ("f" + std::to_string(i)).c_str(), 0700), 0);
        close(fd);
    }
    tree.file(deep + "f7/last.tmp", 1);

    const auto heapInUse = [] {
        const auto info = mallinfo2();  // large blocks are mapped apart from the heap
        return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
    };
    const std::int64_t before = heapInUse();
    std::size_t mostWaiting = 0, passes = 0;
    std::int64_t heapThen = 0;
    const auto found = scanTree([&](MainState& state) {
        ++passes;
        if (state.Spill.size() > mostWaiting) {
            mostWaiting = state.Spill.size();
            heapThen = heapInUse() - before;
        }
    });
    EXPECT_EQ(mostWaiting, std::size_t(many - Stack::kCapacity));
    EXPECT_EQ(passes, 1 + 16 + std::size_t(many));  // every folder visited once
    EXPECT_THAT(found, ElementsAre(deep + "f7/last.tmp"));
    // The stack's own 1,001 paths (3.8 MB) and the listing of 5,000 names are in this figure.
    EXPECT_LT(heapThen, 10 << 20);
}

// A tree `levels` deep with three folders of 255-byte names at every level, of which the last
// goes on, and one matching file at the bottom; made by descriptors, as its paths exceed PATH_MAX.
class DeepTree {
  public:
    DeepTree(const std::string& base, int levels) : base_(base) {
        EXPECT_EQ(mkdir(base.c_str(), 0700), 0);
        int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int level = 0; level < levels; ++level) {
            for (const char c : {'a', 'b', 'c'})
                EXPECT_EQ(mkdirat(fd, std::string(255, c).c_str(), 0700), 0);
            const int next = openat(fd, std::string(255, 'c').c_str(), O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = next;
            bottom += std::string(255, 'c') + "/";
        }
        close(openat(fd, "bottom.tmp", O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        close(fd);
    }
    ~DeepTree() {  // GNU rm walks any depth
        EXPECT_EQ(std::system(("rm -rf -- '" + base_ + "'").c_str()), 0);
    }
    std::string bottom;  // the deepest folder below the base, ending in "/"

  private:
    std::string base_;
};

TEST_F(PosixScan, DeepTreeOfLongNamesCostsMemoryByDepthNotByPathLength) {
    // 1,000 levels: paths of 250 KB. Held whole, the 1,001 waiting folders' paths took 64 MB.
    const DeepTree deep(tree.path("deep"), 1000);
    const auto heapInUse = [] {
        const auto info = mallinfo2();  // large blocks are mapped apart from the heap
        return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
    };
    const std::int64_t before = heapInUse();
    std::int64_t most = 0;
    std::size_t passes = 0;
    const auto found = scanTree([&](MainState&) {
        ++passes;
        most = std::max(most, heapInUse() - before);
    });
    EXPECT_THAT(found, ElementsAre("deep/" + deep.bottom + "bottom.tmp"));
    EXPECT_EQ(passes, 2 + 3 * std::size_t{1000});  // every folder visited once
    EXPECT_LT(most, 16 << 20);
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

TEST_F(PosixScan, FileOfTwoNamesIsListedTwiceAndCountedOnceInEachTotal) {
    tree.file("a/one.tmp", 1000);
    tree.folder("b");
    ASSERT_EQ(link(tree.path("a/one.tmp").c_str(), tree.path("b/two.bak").c_str()), 0);
    tree.file("c.old", 24);
    PosixFileSystem fs(sources);
    auto found = test::scanTree(fs, tree.root());
    ASSERT_THAT(found.relative, UnorderedElementsAre("a/one.tmp", "b/two.bak", "c.old"));
    EXPECT_EQ(found.foundBytes, 1024);

    MainState state;
    for (const auto& row : found.rows) state.Results.append(row, row.size, row.mayShare);
    const auto rowOf = [&](const char* rel) {
        return static_cast<std::size_t>(
            std::find(found.relative.begin(), found.relative.end(), rel) - found.relative.begin());
    };
    const std::vector<std::pair<std::vector<const char*>, std::int64_t>> selections = {
        {{"a/one.tmp"}, 1000},
        {{"b/two.bak"}, 1000},
        {{"a/one.tmp", "b/two.bak"}, 1000},
        {{"a/one.tmp", "b/two.bak", "c.old"}, 1024},
        {{"b/two.bak", "c.old"}, 1024},
    };
    for (const auto& [names, total] : selections) {
        found.view.setAllRowsSelected(false);
        for (const char* name : names) found.view.toggle(rowOf(name));
        EXPECT_EQ(selectedTotal(state, found.view), total) << names.size() << " " << names[0];
    }
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
