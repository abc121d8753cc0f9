// SPDX-License-Identifier: MIT
// The read-ahead's listings handed over to the walk: kept within their bound, and taken only for
// the very folder, unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/posix/listing/KeptListings.h"
#include "platform/posix/listing/PosixFileSystem.h"
#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

std::string listingOf(const char* name, std::size_t bytes) {
    std::string entries;
    appendEntry(entries, {7, DT_REG, name});
    entries.resize(std::max(bytes, entries.size()), 'x');
    return entries;
}

TEST(KeptListings, KeepWithinTheirBoundAndAreTakenOnlyForTheSameFolderUnchanged) {
    const FileIdentity a{1, 10, {LifeWitness::Kind::BirthTime, {5, 0, 0}}}, b{1, 11, {}},
        c{1, 12, {}};
    const ChangeTimes t{100, 90};
    struct Case {
        const char* what;
        KeptListings::Bounds bounds;
        std::size_t bytesEach;
        FileIdentity asked;
        ChangeTimes times;
        std::vector<bool> taken;  // a, b, c, after keeping all three in that order
    };
    const std::size_t each = 1000 + KeptListings::kOverhead;
    const Case cases[] = {
        {"room for all", {1 << 20, 16}, 1000, a, t, {true, true, true}},
        {"two folders at most: the oldest goes", {1 << 20, 2}, 1000, a, t, {false, true, true}},
        {"bytes for two: the oldest goes", {2 * each, 16}, 1000, a, t, {false, true, true}},
        {"one listing over the bound alone", {each - 1, 16}, 1000, a, t, {false, false, false}},
        {"another life of the number", {1 << 20, 16}, 1000, {1, 10, {}}, t, {false, true, true}},
        {"the folder changed since", {1 << 20, 16}, 1000, a, {101, 90}, {false, true, true}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        KeptListings kept(test.bounds);
        for (const auto& id : {a, b, c}) kept.keep(id, t, {listingOf("n.tmp", test.bytesEach)});
        EXPECT_LE(kept.folders(), test.bounds.folders);
        EXPECT_LE(kept.bytes(), test.bounds.bytes);
        const FileIdentity asked[] = {test.asked, b, c};
        for (int i = 0; i < 3; ++i) {
            const auto listing = kept.take(asked[i], i == 0 ? test.times : t);
            ASSERT_EQ(listing.has_value(), test.taken[i]) << "folder " << i;
            if (!listing) continue;
            EXPECT_EQ(listing->entries.size(), test.bytesEach);
            std::string first;
            forEachEntry(listing->entries,
                         [&](const Dirent& entry) {  // the padding after it is no entry
                             EXPECT_EQ(entry.inode, 7u);
                             first = entry.name;
                             return false;
                         });
            EXPECT_EQ(first, "n.tmp");
        }
        // Whatever was asked for went: each listing is taken once.
        EXPECT_FALSE(kept.take(a, t));
    }
}

std::vector<std::string> namesOf(const std::vector<DirEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries)
        if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> namesOnDisk(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().native());
    std::sort(names.begin(), names.end());
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
