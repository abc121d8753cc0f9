// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/DirEntry.h"
#include "platform/FileIdentity.h"
#include "platform/NativeString.h"

namespace kelmora::platform {

// A listed file's size and identity, read together so that they describe the same file.
struct FileDetails {
    std::int64_t size = 0;
    FileIdentity id;
    // How many names (hard links) the file has; 0 where the listing does not tell. A file of
    // several names is listed once per name, but frees its size once.
    std::uint32_t links = 0;
};

// Read access to the file system that the scan walks. One object serves one window and is used on
// the user-interface thread only. Paths are native texts (see NativeString.h).
//
// Call order: beginScan once per scan; then list() per folder, each followed by fileDetails() and
// isProtected() for entries of that listing only, and endScan once when the scan is over. Listing
// another folder ends what the previous listing allowed.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Called once as a scan starts, before its first listing, so that an implementation can refresh
    // what it reads once per scan (mount table, trash folders, package database). Cannot fail.
    virtual void beginScan() {}

    // Called when the scan has ended or been stopped, so that an implementation can let go of
    // what it does for the scan alone (work ahead of the walk). Returns at once; cannot fail.
    virtual void endScan() {}

    // Lists `folder` (a path that ends in the separator) and returns the identity of the folder it
    // actually listed. `expected` is the id its parent's listing gave it (DirEntry::id); nothing
    // for the scan root. The folder is reached without following a link and must still be the one
    // listed before: a folder that cannot be opened (denied, gone), or that is no longer `expected`
    // (swapped, replaced by a link, moved onto another file system), appends nothing and returns
    // nothing. Otherwise every entry is appended to `out` (which is not cleared first) in the order
    // the platform lists them, "." and ".." included where the platform lists them; a failure while
    // reading ends the listing with the entries read so far. `sameAsLast` is how many leading
    // characters of `folder` the caller knows to be the same text as the folder of the previous
    // call (0: nothing known); an implementation may take them as read rather than compare them
    // again, so that a walk down a deep chain of folders costs each name once.
    virtual std::optional<FileIdentity> list(const NativeString& folder,
                                             const std::optional<FileIdentity>& expected,
                                             std::vector<DirEntry>& out,
                                             std::size_t sameAsLast) = 0;
    // The same, with nothing known of the previous call.
    std::optional<FileIdentity> list(const NativeString& folder,
                                     const std::optional<FileIdentity>& expected,
                                     std::vector<DirEntry>& out) {
        return list(folder, expected, out, 0);
    }

    // The size and identity of `entry`, a File of the folder listed last, asked relative to that
    // folder and never through a link; nothing when it is gone or no longer a regular file.
    virtual std::optional<FileDetails> fileDetails(const DirEntry& entry) = 0;

    // True when the file at `path` with identity `file`, which matches a mask, belongs to the
    // operating system or to installed software (a package's file on POSIX, a protected system
    // file on Windows): such a file is no leftover and is never offered for deletion. What an
    // implementation reads to answer, it reads at most once per scan.
    virtual bool isProtected([[maybe_unused]] const NativeString& path,
                             [[maybe_unused]] const FileIdentity& file) {
        return false;
    }
};

}  // namespace kelmora::platform
