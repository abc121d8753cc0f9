// SPDX-License-Identifier: MIT
#include "platform/posix/listing/PackageFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "platform/posix/listing/DpkgDatabase.h"
#include "platform/posix/listing/PacmanDatabase.h"
#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/shared/StatIdentity.h"
#include "scan/Masks.h"
#include "scan/Scan.h"
#include "tests/support/ScanTree.h"
#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

using ::testing::UnorderedElementsAre;

bool listable(std::string_view name) { return isListableName(NativeStringView(name)); }

// A fake dpkg database and a tree of files, both in temporary folders. What every database shares
// (spellings of an owned file, broken databases) is in package_databases_test.cpp.
class PackageOwnership : public ::testing::Test {
  protected:
    PackageOwnership() {
        db.folder("info");
        tree.folder("usr/lib/x");
        tree.symlink("usr/lib", "lib");  // merged /usr: /lib is a link to /usr/lib
    }
    void writeList(const std::string& package, const std::vector<std::string>& paths) const {
        std::ofstream out(db.path("info/" + package + ".list"));
        for (const auto& p : paths) out << p << '\n';
    }
    void writeDiversions(const std::string& text) const {
        std::ofstream(db.path("diversions")) << text;
    }
    std::string at(const std::string& rel) const { return tree.path(rel); }
    FileIdentity identity(const std::string& rel) const {
        const auto id = posix::identityAt(AT_FDCWD, at(rel).c_str());
        EXPECT_TRUE(id) << rel;
        return id.value_or(FileIdentity{});
    }

    // The files a scan of the tree lists, relative to its root.
    std::vector<std::string> scan(const std::string& dpkgRoot) {
        PosixFileSystem fs({{}, {}, {std::make_shared<DpkgDatabase>(dpkgRoot)}, listable, {}, {}});
        return test::scanTree(fs, tree.root()).relative;
    }

    test::TempTree db, tree;
};

TEST_F(PackageOwnership, DivertedFileIsOwnedAtItsDivertToPath) {
    tree.file("usr/lib/x/tool.conf.old", 1);  // the package's copy, moved aside
    tree.file("usr/lib/x/other.old", 1);
    writeList("tool", {at("usr/lib/x/tool.conf")});
    writeDiversions(at("usr/lib/x/tool.conf") + "\n" + at("usr/lib/x/tool.conf.old") + "\nlocal\n");
    EXPECT_THAT(scan(db.root()), UnorderedElementsAre("usr/lib/x/other.old"));
}

TEST_F(PackageOwnership, ChangedConfigurationStaysOwnedUserBackupsAreListed) {
    tree.file("usr/lib/x/app.bak", 5);      // shipped by the package, since edited by the user
    tree.file("usr/lib/x/app.bak.old", 5);  // the user's own backup of it
    writeList("app", {at("usr/lib/x/app.bak")});
    std::ofstream(at("usr/lib/x/app.bak")) << "changed by the user";
    EXPECT_THAT(scan(db.root()), UnorderedElementsAre("usr/lib/x/app.bak.old"));
}

TEST_F(PackageOwnership, ReadOncePerScanAndKeepsOnlyListableNames) {
    tree.file("usr/lib/x/a.tmp", 1);
    tree.file("usr/lib/x/readme.txt", 1);
    const auto a = identity("usr/lib/x/a.tmp");
    writeList("p", {at("usr/lib/x/a.tmp"), at("usr/lib/x/readme.txt")});
    PackageFiles packages({std::make_shared<DpkgDatabase>(db.root())}, listable);
    EXPECT_EQ(packages.loads(), 0);
    EXPECT_TRUE(packages.owns(a));
    EXPECT_FALSE(packages.owns(identity("usr/lib/x/readme.txt")));  // no mask matches: not kept
    EXPECT_EQ(packages.loads(), 1);

    writeList("p", {});  // the database changes during the scan: the scan keeps what it read
    EXPECT_TRUE(packages.owns(a));
    EXPECT_EQ(packages.loads(), 1);
    packages.reset();  // the next scan reads it afresh
    EXPECT_FALSE(packages.owns(a));
    EXPECT_EQ(packages.loads(), 2);

    // Changed while it was first read, as the program started: the first scan reads it again.
    writeList("p", {at("usr/lib/x/a.tmp")});
    PackageFiles started({std::make_shared<DpkgDatabase>(db.root())}, listable);
    writeList("p", {});
    EXPECT_FALSE(started.owns(a));
}

// A database is read again for a scan whenever its token may not stand for what was read: when it
// has none (here after the read at the start), and when pacman rewrote a package's list in place.
TEST_F(PackageOwnership, ADatabaseWithoutATokenOrWithAListRewrittenInPlaceIsReadAgain) {
    tree.file("usr/lib/x/a.tmp", 1);
    struct Untokened : PackageDatabase {
        std::atomic<int> reads = 0;
        std::string owned;
        DatabaseRead read(const NameFilter&, const PathSink& take) override {
            if (!owned.empty()) take(owned);
            ++reads;
            return DatabaseRead::Whole;
        }
    };
    const auto untokened = std::make_shared<Untokened>();
    PackageFiles started({untokened}, listable);
    while (untokened->reads == 0) std::this_thread::yield();
    untokened->owned = at("usr/lib/x/a.tmp");
    EXPECT_TRUE(started.owns(identity("usr/lib/x/a.tmp")));

    db.folder("local/p-1-1");
    std::ofstream(db.path("local/p-1-1/files")) << "%FILES%\nusr/lib/x/a.tmp\n";
    const PacmanDatabase pacman(tree.root(), db.root());
    const auto before = pacman.state();
    std::ofstream(db.path("local/p-1-1/files")) << "%FILES%\nusr/lib/x/b.tmp\n";
    const timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, db.path("local/p-1-1/files").c_str(), later, 0), 0);
    EXPECT_NE(pacman.state(), before);
}

}  // namespace
}  // namespace kelmora::platform::posix
