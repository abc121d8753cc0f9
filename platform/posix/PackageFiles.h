#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace kelmora::platform::posix {

// The files that installed Debian packages own, as dpkg records them: every path of the package
// file lists (info/*.list) and, for a diverted file, its divert-to path, where the package's copy
// really lives. Recorded paths are compared as the file system resolves them: each recorded folder
// is resolved once with realpath, so /lib/x/y.chk and /usr/lib/x/y.chk are one file on a
// merged-/usr system. A configuration file the user changed keeps its recorded path and stays
// owned.
//
// Only paths whose file name passes `keepName` are kept, so memory stays small whatever the size of
// the database. A missing or unreadable database owns nothing.
class PackageFiles {
  public:
    using NameFilter = std::function<bool(std::string_view name)>;

    // `dpkgRoot` is dpkg's administrative folder, /var/lib/dpkg on a Debian system.
    PackageFiles(std::string dpkgRoot, NameFilter keepName);

    // Forgets what was read, so that the next owns() reads the database again.
    void reset();
    // True when a package owns the file at `path` (an absolute, resolved path). Reads the database
    // on the first call after construction or reset().
    bool owns(const std::string& path);

    // How often the database has been read, for tests of the once-per-scan rule.
    int loads() const { return loads_; }

  private:
    void load();
    void keep(std::string_view recorded,
              std::unordered_map<std::string, std::string>& resolvedFolders);

    std::string root_;
    NameFilter keepName_;
    bool loaded_ = false;
    int loads_ = 0;
    std::unordered_set<std::string> owned_;
};

}  // namespace kelmora::platform::posix
