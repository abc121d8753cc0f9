// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/FileIdentity.h"
#include "platform/posix/listing/Dirents.h"
#include "platform/posix/shared/Facts.h"

namespace kelmora::platform::posix {

// Whole listings of folders that the read-ahead read, kept for the walk so that it need not list
// them again. A listing is the folder's entries as getdents64 gave them (number, type, name, in
// its order), with the folder's identity and the change and modification times that it had all
// through the listing.
//
// The walk takes a listing only for a folder that it opened itself and found with the same
// identity and the same times: an entry made, removed or renamed in the folder since changes its
// times, and a folder put at the name is another identity. Each listing is taken at most once.
//
// Bounds: at most Bounds::folders listings and Bounds::bytes of entries (each counted with
// kOverhead bytes more); the oldest go first to make room, and a listing larger than the bound
// alone is not kept. Every call may come from any thread.
class KeptListings {
  public:
    struct Bounds {
        std::size_t bytes = 8 << 20;
        std::size_t folders = 4096;
    };
    // What one listing costs beyond its entries' bytes: its node, identity and times.
    static constexpr std::size_t kOverhead = 128;

    explicit KeptListings(Bounds bounds) : bounds_(bounds) {}

    struct Listing {
        std::string entries;      // made by appendEntry
        bool readsBelow = false;  // whether the read-ahead goes on to its subfolders
    };
    // Keeps `listing` as the listing of `folder` with `times`, in place of any kept for its
    // number.
    void keep(const FileIdentity& folder, const ChangeTimes& times, Listing listing);
    // The listing of `folder` if one is kept with exactly that identity and those times; any
    // listing kept for its number goes either way.
    std::optional<Listing> take(const FileIdentity& folder, const ChangeTimes& times);
    void clear();

    std::size_t folders() const;
    std::size_t bytes() const;

  private:
    struct Kept {
        FileIdentity folder;
        ChangeTimes times;
        Listing listing;
        std::size_t cost;  // what it counts against the bound
    };
    using Key = std::pair<std::uint64_t, std::uint64_t>;
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept {
            return static_cast<std::size_t>(key.second * 0x9E3779B97F4A7C15ULL ^ key.first);
        }
    };
    void dropLocked(std::list<Kept>::iterator kept);

    const Bounds bounds_;
    mutable std::mutex mutex_;
    std::list<Kept> order_;  // oldest first
    std::unordered_map<Key, std::list<Kept>::iterator, KeyHash> byNumber_;
    std::size_t bytes_ = 0;
    std::atomic<std::size_t> count_{0};  // read without the lock: nothing kept costs no lock
};

// Adds one listed entry to a listing's bytes: its number, type and zero-terminated name.
inline void appendEntry(std::string& to, const Dirent& entry) {
    char head[sizeof entry.inode + 1];
    std::memcpy(head, &entry.inode, sizeof entry.inode);
    head[sizeof entry.inode] = static_cast<char>(entry.type);
    to.append(head, sizeof head);
    to.append(entry.name, std::strlen(entry.name) + 1);
}

// Hands `take` every entry of a listing made by appendEntry, in order, as readDirents would.
template <typename Take>
void forEachEntry(const std::string& entries, Take take) {
    for (std::size_t at = 0; at < entries.size();) {
        Dirent entry{0, static_cast<unsigned char>(entries[at + sizeof entry.inode]),
                     entries.data() + at + sizeof entry.inode + 1};
        std::memcpy(&entry.inode, entries.data() + at, sizeof entry.inode);
        at += sizeof entry.inode + 1 + std::strlen(entry.name) + 1;
        if (!take(entry)) return;
    }
}

}  // namespace kelmora::platform::posix
