// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "platform/posix/listing/PackageDatabase.h"

namespace kelmora::platform::posix {

// The files that installed pacman packages own (Arch Linux and its family): the %FILES% section of
// every package's `files` in pacman's local database (<database>/local/<package>-<version>/files),
// paths relative to the root the packages were installed into, without a leading "/", folders
// ending with "/".
class PacmanDatabase : public PackageDatabase {
  public:
    // `root` is the folder the packages were installed into ("/" on the running system), `database`
    // pacman's database folder, /var/lib/pacman on the running system.
    PacmanDatabase(std::string root, std::string database)
        : root_(std::move(root)), database_(std::move(database)) {}

    // Absent when there is no local folder; Damaged when a package's `files` is missing or could
    // not be read.
    DatabaseRead read(const NameFilter& keepName, const PathSink& take) override;
    // The local folder's inode and modification time, which change when pacman makes or removes
    // a package's folder, and the stamp of every package's `files` list, which an upgrade may
    // rewrite in a folder that stays. Nothing is read but the folder and the lists' facts.
    std::optional<std::string> state() const override;

  private:
    std::string root_;
    std::string database_;
};

}  // namespace kelmora::platform::posix
