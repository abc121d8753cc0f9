// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <vector>

#include "platform/FileSystem.h"

namespace kelmora::platform {

// An in-memory file system for tests. Entries are named by full native paths without a trailing
// separator (the root is ""); each folder lists its entries in the order they were added, so a
// test chooses the listing order. Every entry gets its own identity when added (device 1, inodes
// counted from 1). Like the real ones, list() refuses a folder whose identity is not the expected
// one, and fileDetails() answers for entries of the folder listed last. Failures are switched on
// per path.
class FakeFileSystem : public FileSystem {
  public:
    // Adds an entry below its parent folder, which is created (as an ordinary folder) when missing.
    void addFolder(const NativeString& path, bool hidden = false, bool system = false);
    void addFile(const NativeString& path, std::int64_t size, bool hidden = false,
                 bool system = false);
    void addOther(const NativeString& path);

    // Listing of `folder` fails at once (it yields nothing).
    void failOpen(const NativeString& folder) { failOpen_.insert(folder); }
    // Listing of `folder` fails after its first `count` entries.
    void failAfter(const NativeString& folder, std::size_t count) { failAfter_[folder] = count; }
    // The file stays listed but its size can no longer be read, as if it vanished after listing.
    void vanishAfterListing(const NativeString& path) { vanished_.insert(path); }
    // The folder keeps its place and contents but becomes another folder, as if it had been
    // swapped for a different one after its parent was listed: it is refused from now on.
    void replaceFolder(const NativeString& path);
    // The file belongs to installed software: isProtected answers true for it.
    void protect(const NativeString& path) { protected_.insert(path); }
    // Every folder other than the root lists "." and ".." first, as POSIX and Windows do.
    void listDotEntries(bool on) { dots_ = on; }

    // The identity of the entry at `path` (which must exist); the root's for "".
    FileIdentity identityOf(const NativeString& path) const;
    // The folders listed so far, in order, as passed to list() (ending in the separator), refused
    // ones included.
    const std::vector<NativeString>& listedFolders() const { return listed_; }
    int scansBegun() const { return scansBegun_; }
    int scansEnded() const { return scansEnded_; }

    void beginScan() override { ++scansBegun_; }
    void endScan() override { ++scansEnded_; }
    using FileSystem::list;
    std::optional<FileIdentity> list(const NativeString& folder,
                                     const std::optional<FileIdentity>& expected,
                                     std::vector<DirEntry>& out, std::size_t sameAsLast) override;
    std::optional<FileDetails> fileDetails(const DirEntry& entry) override;
    bool isProtected(const NativeString& path, const FileIdentity&) override {
        return protected_.contains(path);
    }

  private:
    struct Node {
        DirEntry entry;
        std::int64_t size = 0;
    };
    void add(const NativeString& path, Node node);
    static NativeString parentOf(const NativeString& path);

    std::map<NativeString, std::vector<Node>> folders_{{NativeString{}, {}}};
    std::map<NativeString, FileIdentity> folderIds_{{NativeString{}, {1, 1, {}}}};
    std::uint64_t nextInode_ = 2;
    NativeString lastListed_;  // the folder listed last, without its trailing separator
    bool haveListing_ = false;
    std::set<NativeString> failOpen_;
    std::map<NativeString, std::size_t> failAfter_;
    std::set<NativeString> vanished_;
    std::set<NativeString> protected_;
    std::vector<NativeString> listed_;
    bool dots_ = false;
    int scansBegun_ = 0;
    int scansEnded_ = 0;
};

}  // namespace kelmora::platform
