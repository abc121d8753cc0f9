// SPDX-License-Identifier: MIT
// The listing's read-ahead: it changes nothing that a scan shows, reads only folders that the walk
// enters, and lets its threads and descriptors go when the scan is over.
#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/posix/listing/PosixFileSystem.h"
#include "tests/support/ReadAheadWatch.h"
#include "tests/support/TempTree.h"

namespace kelmora {
namespace {

using platform::posix::NumberSet;
using platform::posix::PosixFileSystem;
using test::OpenedFolders;
using test::readingAhead;
using test::walk;
using test::Walked;

std::size_t openDescriptors() {
    std::size_t count = 0;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (readdir(fds)) ++count;
        closedir(fds);
    }
    return count;
}

// The threads of this process named as the read-ahead names its own.
std::size_t readAheadThreads() {
    std::size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* task = readdir(tasks)) {
            std::ifstream comm(std::string("/proc/self/task/") + task->d_name + "/comm");
            std::string name;
            if (std::getline(comm, name) && name == "read-ahead") ++count;
        }
        closedir(tasks);
    }
    return count;
}

TEST(ReadAhead, ScanListsTheSameInTheSameOrderAndReadsOnlyFoldersTheWalkEnters) {
    test::TempTree tree, outside;
    // A few hundred folders over four levels, files that match and files that do not.
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 6; ++b)
            for (int c = 0; c < 6; ++c) {
                const std::string folder = "d" + std::to_string(a) + "/e" + std::to_string(b) +
                                           "/f" + std::to_string(c) + "/";
                tree.file(folder + "x" + std::to_string(a * 36 + b * 6 + c) + ".tmp",
                          static_cast<std::uintmax_t>(a + b + c));
                tree.file(folder + "keep.txt", 3);
            }
    tree.file(".hidden/old.bak", 7);
    // Links to folders, out of the tree and around a cycle, which neither of them enters.
    outside.file("deep/er/escape.tmp", 1);
    tree.symlink(outside.root(), "d0/out");
    tree.symlink(outside.path("deep"), "d1/e1/deep");
    tree.symlink("..", "d2/up");
    // The home trash, which the walk passes over by identity.
    tree.file("home/u/.local/share/Trash/files/thrown/t.tmp", 1);
    PosixFileSystem::Sources sources;
    sources.trashLocations = [&tree] {
        return std::vector<platform::posix::TrashLocation>{
            {tree.path("home/u"), {".local", "share", "Trash"}}};
    };

    PosixFileSystem::Sources without = sources;
    without.readAhead.inFlight = 0;
    const Walked plain = walk(without, tree.root());
    OpenedFolders opened;
    const Walked ahead = walk(readingAhead(opened, sources), tree.root(), &opened, 101);

    EXPECT_EQ(ahead.found.relative, plain.found.relative);
    EXPECT_EQ(ahead.found.sizes, plain.found.sizes);
    EXPECT_EQ(ahead.found.foundBytes, plain.found.foundBytes);
    EXPECT_EQ(ahead.folders, plain.folders);
    EXPECT_EQ(plain.found.relative.size(), 217u);
    EXPECT_GT(ahead.handedOver, 100u) << "the walk listed nearly every folder again";

    const NumberSet read = opened.folders();
    EXPECT_GT(read.size(), 100u) << "the read-ahead read next to nothing";
    for (const auto& folder : read)
        EXPECT_TRUE(plain.identities.contains(folder))
            << "the read-ahead opened inode " << folder.inode << ", which the walk never enters";
}

TEST(ReadAhead, StoppedScanLetsItsThreadsAndDescriptorsGo) {
    test::TempTree tree;
    for (int a = 0; a < 30; ++a)
        for (int b = 0; b < 30; ++b)
            tree.folder("a" + std::to_string(a) + "/b" + std::to_string(b));
    const std::size_t before = openDescriptors();
    std::size_t mostDescriptors = 0;
    OpenedFolders opened;
    {
        PosixFileSystem fs(readingAhead(opened));
        MainState state;
        state.Idle = 1;
        state.Masks = nativeMaskTable();
        test::RecordingView view;
        int pauses = 0;
        std::size_t readAtStop = 0;
        Scan scan(state, view, fs, tree.root(), [&] {
            mostDescriptors = std::max(mostDescriptors, openDescriptors());
            // Once the read-ahead has started, a second click on the scan button stops the scan.
            if (++pauses == 3) {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (opened.folders().empty() && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                ASSERT_FALSE(opened.folders().empty()) << "the read-ahead read nothing";
                scan.click();
                readAtStop = opened.folders().size();
            }
        });
        scan.click();
        EXPECT_EQ(pauses, 3) << "the stop did not end the walk";
        // Each thread finishes the call it is in and ends, without anyone waiting for it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (readAheadThreads() > 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(readAheadThreads(), 0u);
        // At most one folder per thread was being read when the scan stopped.
        EXPECT_LE(opened.folders().size(),
                  readAtStop + PosixFileSystem::Sources{}.readAhead.inFlight);
    }
    // The walk's own chain (up to 49) and the read-ahead's bound (3 per folder in flight, plus 8).
    EXPECT_LE(mostDescriptors, before + 49 + 3 * PosixFileSystem::Sources{}.readAhead.inFlight + 8);
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
}  // namespace kelmora
