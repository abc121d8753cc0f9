// SPDX-License-Identifier: MIT
// Races the real scan and removal layer against another thread that changes the tree under them:
// renames, a folder exchanged with a link out of the tree, files deleted and made again at their
// path (which hands them the old inode number on ext4), and bind mounts where the process may
// mount. Each round then checks the promises: no row outside the tree and no file listed twice;
// nothing removed or moved but the listed file; every trash record names its own file.
//
// The changes are random but bounded and seeded. The seed is printed; KELMORA_RACE_SEED=<seed>
// repeats the same choices (the interleaving with the scan is the scheduler's).
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/removal/PosixFileRemover.h"
#include "platform/posix/shared/StatIdentity.h"
#include "scan/Masks.h"
#include "tests/support/ScanTree.h"
#include "tests/support/TempTree.h"
#include "tests/support/posix/ScratchMounts.h"

namespace kelmora::platform::posix {
namespace {

namespace fs = std::filesystem;
using Random = std::mt19937_64;
using Clock = std::chrono::steady_clock;

constexpr auto kBudget = std::chrono::seconds(12);  // rounds start until this much has passed
constexpr int kMaxRounds = 40;
constexpr int kChangesPerRound = 400;
constexpr int kMountPoints = 3;

std::string keyOf(const FileIdentity& id) {
    std::string key = std::to_string(id.device) + ":" + std::to_string(id.inode) + ":" +
                      std::to_string(int(id.life.kind));
    for (const auto word : id.life.words) key += ":" + std::to_string(word);
    return key;
}

std::string contents(int dirFd, const std::string& name) {
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    char buffer[64];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Every file is made with a tag of its own as its contents, and known by identity from then on:
// T for the tree's files, O for those outside it, R for files made again at a path.
class World {
  public:
    World(const std::string& root, const std::string& outside) : root_(root), outside_(outside) {}

    // The identity is read from the new file's descriptor: a removal may take the name away
    // again at any moment.
    void make(const std::string& path, const std::string& tag) {
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << path;
        EXPECT_EQ(::write(fd, tag.data(), tag.size()), ssize_t(tag.size())) << path;
        const auto id = identityOfFd(fd);
        ::close(fd);
        ASSERT_TRUE(id) << path;
        std::lock_guard<std::mutex> held(lock_);
        // Two files, one made after the other was deleted, are two identities.
        const auto [at, added] = tags_.emplace(keyOf(*id), tag);
        EXPECT_TRUE(added) << tag << " at " << path << " has the identity of " << at->second;
    }
    void deleted(const std::string& tag) {
        std::lock_guard<std::mutex> held(lock_);
        deleted_.insert(tag);
    }
    // A file made again at `path` in the place of one deleted, between `from` and `to`.
    void replaced(const std::string& path, const std::string& tag, Clock::time_point from,
                  Clock::time_point to) {
        std::lock_guard<std::mutex> held(lock_);
        replacements_[tag] = {fs::path(path).filename().native(), from, to};
    }
    struct Replacement {
        std::string name;
        Clock::time_point from, to;
    };
    const std::map<std::string, Replacement>& replacements() const { return replacements_; }
    std::string tagOf(const FileIdentity& id) const {
        const auto found = tags_.find(keyOf(id));
        return found == tags_.end() ? std::string() : found->second;
    }
    const std::set<std::string>& deletedTags() const { return deleted_; }
    std::set<std::string> allTags() const {
        std::set<std::string> all;
        for (const auto& [key, tag] : tags_) all.insert(tag);
        return all;
    }
    const std::string& root() const { return root_; }
    const std::string& outside() const { return outside_; }

  private:
    std::string root_, outside_;
    std::mutex lock_;
    std::map<std::string, std::string> tags_;          // by identity
    std::set<std::string> deleted_;                    // tags the changer itself deleted
    std::map<std::string, Replacement> replacements_;  // by the new file's tag
};

// The other thread: picks folders and files by walking the tree as it is now, never through a
// link, and changes them.
class Changer {
  public:
    Changer(World& world, std::uint64_t seed, bool mounts, std::array<std::size_t, 5>& done)
        : world_(world), random_(seed), mounts_(mounts), done_(done) {}

    void run(const std::atomic<bool>& stop) {
        for (int n = 0; n < kChangesPerRound && !stop.load(); ++n) change(n);
        for (int k = 0; k < kMountPoints; ++k)
            ::umount2((world_.root() + "/m" + std::to_string(k)).c_str(), MNT_DETACH);
    }

  private:
    // A folder of the tree, `depth` steps down at most; the root when it finds none.
    std::string someFolder(int depth) {
        std::string at = world_.root();
        for (int step = 0; step < depth; ++step) {
            const auto folders = entries(at, DT_DIR);
            if (folders.empty()) break;
            at += "/" + folders[random_() % folders.size()];
        }
        return at;
    }
    std::vector<std::string> entries(const std::string& folder, unsigned char type) {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) return names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && entry->d_type == type) names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }

    void change(int n) {
        const std::string folder = someFolder(1 + int(random_() % 4));
        const std::string fresh = std::to_string(n);
        switch (random_() % (mounts_ ? 5 : 4)) {
            case 0: {  // a file renamed within its folder
                const auto files = entries(folder, DT_REG);
                if (files.empty()) return;
                const std::string name = files[random_() % files.size()];
                done_[0] +=
                    ::renameat2(AT_FDCWD, (folder + "/" + name).c_str(), AT_FDCWD,
                                (folder + "/r" + fresh + ".tmp").c_str(), RENAME_NOREPLACE) == 0;
                return;
            }
            case 1: {  // a folder renamed within its parent
                if (folder == world_.root()) return;
                const std::string parent = folder.substr(0, folder.rfind('/'));
                done_[1] += ::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD,
                                        (parent + "/dr" + fresh).c_str(), RENAME_NOREPLACE) == 0;
                return;
            }
            case 2: {  // a folder exchanged with a link to a folder outside the tree
                if (folder == world_.root()) return;
                const std::string parent = folder.substr(0, folder.rfind('/'));
                const std::string link = parent + "/l" + fresh;
                const std::string target =
                    world_.outside() + "/d" + std::to_string(random_() % 4) + "/d0";
                if (::symlink(target.c_str(), link.c_str()) != 0) return;
                done_[2] += ::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(),
                                        RENAME_EXCHANGE) == 0;
                return;
            }
            case 3: {  // a file deleted and made again at its path: it gets the old number
                const auto files = entries(folder, DT_REG);
                if (files.empty()) return;
                const std::string path = folder + "/" + files[random_() % files.size()];
                const std::string tag = contents(AT_FDCWD, path);
                const auto from = Clock::now();
                if (::unlink(path.c_str()) != 0) return;
                world_.deleted(tag);
                world_.make(path, "R" + fresh);
                world_.replaced(path, "R" + fresh, from, Clock::now());
                ++done_[3];
                return;
            }
            default: {  // a folder of the tree bound at one of the mount points, or let go
                const std::string point =
                    world_.root() + "/m" + std::to_string(random_() % kMountPoints);
                if (::umount2(point.c_str(), MNT_DETACH) == 0) return;
                done_[4] += ::mount(folder.c_str(), point.c_str(), nullptr, MS_BIND, nullptr) == 0;
                return;
            }
        }
    }

    World& world_;
    Random random_;
    bool mounts_;
    std::array<std::size_t, 5>& done_;  // what succeeded, by kind
};

// The tags of every regular file below `folder`, never through a link, by where they are.
void inventory(const std::string& folder, std::map<std::string, std::string>& out) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file(error) && !it->is_symlink(error))
            out[it->path().native()] = contents(AT_FDCWD, it->path().native());
}

// What the rounds did, to show that they raced.
struct Tally {
    std::size_t rows = 0, removed = 0, refused = 0, gone = 0;
    std::array<std::size_t, 5> changes{};  // renames of files, of folders, exchanges, made
                                           // again, bind mounts
};

void runRound(std::uint64_t seed, bool mounts, Tally& tally) {
    test::TempTree tree, beside;
    const std::string root = tree.path("tree");
    World world(root, beside.path("outside"));
    Random random(seed);
    // The tree: folders up to four deep, with the names the outside holds too, so that a link
    // followed anywhere would lead to files of the same names.
    std::vector<std::string> folders = {root};
    for (int k = 0; k < kMountPoints; ++k) tree.folder("tree/m" + std::to_string(k));
    for (int i = 0; i < 24; ++i) {
        const std::string parent = folders[random() % folders.size()];
        if (std::count(parent.begin() + long(root.size()), parent.end(), '/') >= 4) continue;
        folders.push_back(parent + "/d" + std::to_string(i % 4) + "x" + std::to_string(i));
        fs::create_directories(folders.back());
    }
    int tag = 0;
    for (int i = 0; i < 120; ++i)
        world.make(folders[random() % folders.size()] + "/f" + std::to_string(i) + ".tmp",
                   "T" + std::to_string(tag++));
    for (int d = 0; d < 4; ++d) {
        const std::string at = world.outside() + "/d" + std::to_string(d) + "/d0";
        fs::create_directories(at);
        for (int i = 0; i < 30; ++i)
            world.make(at + "/f" + std::to_string(i) + ".tmp", "O" + std::to_string(tag++));
    }
    const std::string trash = beside.path("home/Trash");
    std::set<std::string> outsideTags;
    for (const auto& t : world.allTags())
        if (t[0] == 'O') outsideTags.insert(t);

    auto sources = PosixFileSystem::systemSources(
        [](std::string_view name) { return isListableName(NativeStringView(name)); });
    sources.packageDatabases.clear();
    // Every other round reads ahead everywhere and hands every listing over to the walk.
    if (seed % 2 == 1) {
        sources.readAhead.everywhere = true;
        sources.readAhead.settled = {};
    }
    sources.trashLocations = [trash] {
        return std::vector<TrashLocation>{{trash.substr(0, trash.rfind('/')), {"Trash"}}};
    };
    PosixFileSystem fileSystem(sources);
    PosixFileRemover remover(trash);

    // Some folders of the tree are bound at mount points before the scan starts, others while
    // it runs.
    for (int k = 0; mounts && k < kMountPoints; ++k)
        if (random() % 3 != 0)
            ::mount(folders[random() % folders.size()].c_str(),
                    (root + "/m" + std::to_string(k)).c_str(), nullptr, MS_BIND, nullptr);

    // The changes run while the tree is scanned and its rows removed.
    std::atomic<bool> stop{false};
    Changer changer(world, seed ^ 0x5EED, mounts, tally.changes);
    std::thread other([&] { changer.run(stop); });
    const auto found =
        test::scanTree(fileSystem, root, [](MainState&) { std::this_thread::yield(); });
    const std::vector<test::FoundRow>& rows = found.rows;
    std::vector<bool> byBin;
    std::vector<RemoveOutcome> outcomes;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> during;  // each removal's call
    for (const auto& row : rows) {
        byBin.push_back(random() % 2 == 0);
        const auto from = Clock::now();
        outcomes.push_back(byBin.back() ? remover.moveToTrash(row).outcome
                                        : remover.deleteFile(row).outcome);
        during.emplace_back(from, Clock::now());
    }
    remover.finishBatch();
    stop = true;
    other.join();
    tally.rows += rows.size();
    for (const auto outcome : outcomes) {
        tally.removed += outcome == RemoveOutcome::Removed;
        tally.refused += outcome == RemoveOutcome::Refused;
        tally.gone += outcome == RemoveOutcome::AlreadyGone;
    }

    // No row outside the tree, no file listed twice.
    std::set<std::string> listed;
    std::map<std::string, std::string> tagByPath;  // the rows' paths
    for (const auto& row : rows) {
        EXPECT_EQ(row.path.rfind(root + "/", 0), 0U) << row.path;
        const std::string t = world.tagOf(row.file);
        EXPECT_FALSE(t.empty()) << row.path << " is no file the test made";
        EXPECT_NE(t[0], 'O') << row.path << " lies outside the tree";
        EXPECT_TRUE(listed.insert(keyOf(row.file)).second) << row.path << " was listed twice";
        tagByPath[row.path] = t;
    }

    // Nothing removed or moved but the listed file.
    std::map<std::string, std::string> inTree, inTrash;
    inventory(root, inTree);
    inventory(world.outside(), inTree);
    inventory(trash + "/files", inTrash);
    std::set<std::string> present, trashed;
    for (const auto& [path, t] : inTree) present.insert(t);
    for (const auto& [path, t] : inTrash) trashed.insert(t);
    std::set<std::string> erasedTags, movedTags;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (outcomes[i] == RemoveOutcome::Removed)
            (byBin[i] ? movedTags : erasedTags).insert(tagByPath[rows[i].path]);
    // The kernel unlinks by name only: a file deleted and made again at its name between the
    // erase's identity check and its unlink, microseconds apart, is erased in its place. Only a
    // replacement that overlaps the erase of a row of that name can have gone so; one made
    // before the erase began must have been refused.
    const auto erasedInItsPlace = [&](const std::string& t) {
        const auto replacement = world.replacements().find(t);
        if (replacement == world.replacements().end()) return false;
        const auto& [name, from, to] = replacement->second;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!byBin[i] && outcomes[i] == RemoveOutcome::Removed &&
                fs::path(rows[i].path).filename().native() == name && during[i].first <= to &&
                from <= during[i].second)
                return true;
        return false;
    };
    for (const auto& t : world.allTags()) {
        if (present.contains(t) || trashed.contains(t)) continue;
        EXPECT_TRUE(erasedTags.contains(t) || world.deletedTags().contains(t) ||
                    erasedInItsPlace(t))
            << t << " is gone, though no listed file of that tag was erased";
    }
    for (const auto& t : trashed)
        EXPECT_TRUE(movedTags.contains(t)) << t << " is in the trash, though not moved there";
    for (const auto& t : movedTags) EXPECT_TRUE(trashed.contains(t)) << t << " moved, not in trash";
    for (const auto& t : outsideTags) EXPECT_TRUE(present.contains(t)) << t << " outside is gone";

    // Every trash record names its own file.
    std::map<std::string, std::string> records;  // trash name -> recorded path
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(trash + "/info", error)) {
        std::ifstream in(entry.path());
        std::string line, path;
        while (std::getline(in, line))
            if (line.rfind("Path=", 0) == 0) path = line.substr(5);
        const std::string name = entry.path().filename().native();
        records[name.substr(0, name.size() - std::string(".trashinfo").size())] = path;
    }
    EXPECT_EQ(records.size(), inTrash.size()) << "a record without its file, or the reverse";
    for (const auto& [path, t] : inTrash) {
        const std::string name = fs::path(path).filename().native();
        ASSERT_TRUE(records.contains(name)) << name << " has no record";
        EXPECT_EQ(tagByPath[records[name]], t) << name << " is recorded as " << records[name];
    }
}

TEST(Races, ScanAndRemovalKeepTheirPromisesWhileTheTreeChanges) {
    const char* given = std::getenv("KELMORA_RACE_SEED");
    const std::uint64_t seed =
        given && *given ? std::stoull(given)
                        : (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
    std::printf("race seed %llu (KELMORA_RACE_SEED=%llu repeats it)\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    const bool mounts = test::ScratchMounts::available();
    Random seeds(seed);
    const auto start = std::chrono::steady_clock::now();
    int rounds = 0;
    Tally tally;
    while (rounds < kMaxRounds && std::chrono::steady_clock::now() - start < kBudget) {
        const std::uint64_t roundSeed = seeds();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(rounds));
        runRound(roundSeed, mounts, tally);
        ++rounds;
        if (HasFailure()) break;
    }
    std::printf(
        "%d rounds: %zu rows, %zu removed, %zu refused, %zu already gone; changes: %zu file and "
        "%zu folder renames, %zu exchanges with a link, %zu files made again, %zu bind mounts\n",
        rounds, tally.rows, tally.removed, tally.refused, tally.gone, tally.changes[0],
        tally.changes[1], tally.changes[2], tally.changes[3], tally.changes[4]);
}

}  // namespace
}  // namespace kelmora::platform::posix
