#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/posix/shared/IdentitySet.h"

namespace kelmora::platform::posix {

// The files that installed Debian packages own, as dpkg records them: every path of the package
// file lists (info/*.list) and, for a diverted file, its divert-to path, where the package's copy
// really lives. Files are known by identity (device, inode), read once per load with the recorded
// path resolved as the system resolves it but its last part not followed: any other spelling of
// the same file (/lib for /usr/lib on a merged-/usr system, a bind mount, a hard link) is owned
// too. A configuration file the user changed is still at its recorded path and stays owned.
//
// Only paths whose file name passes `keepName` are looked up, so memory and time stay small
// whatever the size of the database. A missing or unreadable database owns nothing.
class PackageFiles {
  public:
    using NameFilter = std::function<bool(std::string_view name)>;

    // `dpkgRoot` is dpkg's administrative folder, /var/lib/dpkg on a Debian system.
    PackageFiles(std::string dpkgRoot, NameFilter keepName);

    // Forgets what was read, so that the next owns() reads the database again.
    void reset();
    // True when a package owns the file with identity `file`. Reads the database on the first call
    // after construction or reset().
    bool owns(const FileIdentity& file);

    // How often the database has been read, for tests of the once-per-scan rule.
    int loads() const { return loads_; }

  private:
    void load();

    std::string root_;
    NameFilter keepName_;
    bool loaded_ = false;
    int loads_ = 0;
    IdentitySet owned_;
};

}  // namespace kelmora::platform::posix
