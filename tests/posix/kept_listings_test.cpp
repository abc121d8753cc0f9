// SPDX-License-Identifier: MIT
// The read-ahead's listings handed over to the walk: kept within their bound, and taken only for
// the very folder, unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/posix/listing/KeptListings.h"
#include "platform/posix/listing/PosixFileSystem.h"
#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

TEST(KeptListings, KeepWithinTheirBoundAndAreTakenOnlyForTheSameFolderUnchanged) {
    const FileIdentity a{1, 10, {LifeWitness::Kind::BirthTime, {5, 0, 0}}}, b{1, 11, {}},
        c{1, 12, {}};
    const ChangeTimes t{100, 90};
    const std::size_t each = 1000 + KeptListings::kOverhead;  // what each listing below costs
    const struct {
        const char* what;
        KeptListings::Bounds bounds;
        FileIdentity asked;
        ChangeTimes times;
        std::vector<bool> taken;  // a (as asked), b, c, after keeping all three in that order
    } cases[] = {
        {"room for all", {1 << 20, 16}, a, t, {true, true, true}},
        {"two folders at most: the oldest goes", {1 << 20, 2}, a, t, {false, true, true}},
        {"bytes for two: the oldest goes", {2 * each, 16}, a, t, {false, true, true}},
        {"one listing over the bound alone", {each - 1, 16}, a, t, {false, false, false}},
        {"another life of the number", {1 << 20, 16}, {1, 10, {}}, t, {false, true, true}},
        {"the folder changed since", {1 << 20, 16}, a, {101, 90}, {false, true, true}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        KeptListings kept(test.bounds);
        for (const auto& id : {a, b, c}) kept.keep(id, t, {std::string(1000, 'x')});
        EXPECT_LE(kept.folders(), test.bounds.folders);
        EXPECT_LE(kept.bytes(), test.bounds.bytes);
        EXPECT_EQ(kept.take(test.asked, test.times).has_value(), test.taken[0]);
        EXPECT_EQ(kept.take(b, t).has_value(), test.taken[1]);
        EXPECT_EQ(kept.take(c, t).has_value(), test.taken[2]);
        // Whatever was asked for went: each listing is taken once.
        EXPECT_FALSE(kept.take(a, t));
    }
}

// The names in a listing, "." and ".." left out, and in the folder on disk.
std::set<std::string> namesOf(const std::vector<DirEntry>& entries) {
    std::set<std::string> names;
    for (const auto& entry : entries)
        if (entry.name != "." && entry.name != "..") names.insert(entry.name);
    return names;
}
std::set<std::string> namesOnDisk(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename());
    return names;
}

// A folder changed between the read-ahead's listing and the walk's open is read by the walk.
TEST(KeptListings, WalkListsAFolderChangedSinceTheReadAheadListedItItself) {
    test::TempTree tree;
    for (const char* name :
         {"p/add/a.tmp", "p/remove/r.tmp", "p/remove/s.tmp", "p/swap/old.tmp", "p/same/k.tmp"})
        tree.file(name);
    PosixFileSystem::Sources sources;
    sources.readAhead.everywhere = true;
    sources.readAhead.settled = std::chrono::milliseconds(50);
    std::atomic<int> kept{0};
    sources.readAhead.keptOne = [&kept] { ++kept; };
    // Older than the settling time when the read-ahead lists them.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PosixFileSystem fs(sources);
    fs.beginScan();
    std::vector<DirEntry> top;
    ASSERT_TRUE(fs.list(tree.root() + "/", std::nullopt, top));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (kept < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(kept, 5) << "the read-ahead did not keep p and its four folders";

    tree.file("p/add/b.tmp");
    std::filesystem::remove(tree.path("p/remove/r.tmp"));
    std::filesystem::rename(tree.path("p/swap"), tree.path("p/swapped"));
    tree.file("p/swap/new.tmp");

    const auto idOf = [](const std::vector<DirEntry>& entries, const std::string& name) {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const DirEntry& e) { return e.name == name; })
            ->id;
    };
    std::vector<DirEntry> p;
    ASSERT_TRUE(fs.list(tree.path("p") + "/", idOf(top, "p"), p));
    EXPECT_EQ(namesOf(p), namesOnDisk(tree.path("p")));
    for (const char* name : {"add", "remove", "swap", "swapped", "same"}) {
        SCOPED_TRACE(name);
        std::vector<DirEntry> entries;
        ASSERT_TRUE(fs.list(tree.path("p/") + name + "/", idOf(p, name), entries));
        EXPECT_EQ(namesOf(entries), namesOnDisk(tree.path("p/") + name));
    }
    // The unchanged folder's listing was taken; the changed ones' (p among them) were not.
    EXPECT_GE(fs.handedOver(), 1u);
    EXPECT_LE(fs.handedOver(), 2u);
    fs.endScan();
}

}  // namespace
}  // namespace kelmora::platform::posix
