// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "platform/posix/listing/PackageDatabase.h"

namespace kelmora::platform::posix {

// The files that installed Debian packages own, as dpkg records them (Debian, Ubuntu and their
// family): every path of the package file lists (info/*.list) and, for a diverted file, its
// divert-to path, where the package's copy really lives. dpkg records absolute paths as the running
// system spells them. A configuration file the user changed is still at its recorded path and stays
// owned.
class DpkgDatabase : public PackageDatabase {
  public:
    // `root` is dpkg's administrative folder, /var/lib/dpkg on a Debian system.
    explicit DpkgDatabase(std::string root) : root_(std::move(root)) {}

    // Absent when there is no info folder; Damaged when a file list could not be read whole.
    DatabaseRead read(const NameFilter& keepName, const PathSink& take) override;
    // Every package's file list, the status and the diversions, as written last.
    std::optional<std::string> state() const override;

  private:
    std::string root_;
};

}  // namespace kelmora::platform::posix
