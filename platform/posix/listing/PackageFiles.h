// SPDX-License-Identifier: MIT
#pragma once

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/listing/PackageDatabase.h"
#include "platform/posix/shared/IdentitySet.h"

namespace kelmora::platform::posix {

// The files that installed packages own, as the system's package databases record them (see
// PackageDatabase). Files are known by identity (device, inode), read once per load with each
// recorded path resolved as the system resolves it but its last part not followed: any other
// spelling of the same file (/lib for /usr/lib on a merged-/usr system, a bind mount, a hard link)
// is owned too.
//
// Only paths whose file name passes `keepName` are looked up or kept, so memory and time stay small
// whatever the size of the databases. A missing, unreadable or damaged database owns what could be
// read of it, maybe nothing, and the others are read all the same. A database whose state() is as
// when it was last read whole is not read again: its kept paths are resolved afresh.
//
// The databases are first read on a thread of its own as soon as this object is made (when the
// program starts), so that a first scan finds them read; the first owns() waits for that read.
class PackageFiles {
  public:
    using NameFilter = PackageDatabase::NameFilter;
    using Databases = std::vector<std::shared_ptr<PackageDatabase>>;

    PackageFiles(Databases databases, NameFilter keepName);
    ~PackageFiles();
    PackageFiles(const PackageFiles&) = delete;
    PackageFiles& operator=(const PackageFiles&) = delete;

    // Forgets what was read, so that the next owns() reads the databases again.
    void reset();
    // True when a package owns the file with identity `file`. Reads the databases on the first
    // call after construction or reset().
    bool owns(const FileIdentity& file);

    // How often the databases have been read, for tests of the once-per-scan rule.
    int loads() const { return loads_; }

  private:
    void load();
    // Reads again the databases whose state changed since their last whole read, or that tell
    // no state; `forScan` when a scan will use what was read, which may then be the read ahead.
    void readChanged(bool forScan);

    // What one database's last whole read kept, and its state then.
    struct Kept {
        std::optional<std::string> state;
        std::vector<std::string> paths;
        bool fresh = false;  // read ahead of the first scan, not used yet
    };

    Databases databases_;
    std::vector<Kept> kept_;  // by database
    NameFilter keepName_;
    bool loaded_ = false;
    int loads_ = 0;
    IdentitySet owned_;
    std::future<void> readAhead_;  // the first read, until the first load() has waited for it
};

// The running system's package databases, each where its package manager keeps it: dpkg's in
// /var/lib/dpkg, rpm's in /usr/lib/sysimage/rpm or /var/lib/rpm, pacman's in /var/lib/pacman. A
// system without one of them reads nothing from it.
PackageFiles::Databases systemPackageDatabases();

}  // namespace kelmora::platform::posix
