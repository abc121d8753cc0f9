#pragma once

#include <functional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/PackageFiles.h"

namespace kelmora::platform::posix {

// The file system of a Linux system, read with getdents64 and lstat.
//
// Traversal policy, the POSIX meaning of the scan's attributes:
// - hidden: the name starts with ".";
// - system (never entered): mount points of pseudo and network file systems, the user's trash and
//   the .Trash folders at the top of every mount, and every symbolic link to a folder, so the walk
//   never leaves the tree through a link;
// - File is a regular file only; links to files, FIFOs, sockets and devices are Other, and nothing
//   here ever opens them;
// - protected: a file that an installed package owns (see PackageFiles).
class PosixFileSystem : public FileSystem {
  public:
    // Where the system's facts come from.
    struct Sources {
        // Gives the mount table text at each scan start (/proc/self/mountinfo).
        std::function<std::string()> mountInfo;
        // The user's trash folder; empty for none.
        std::string homeTrash;
        // dpkg's administrative folder; empty for a system without a package database.
        std::string dpkgRoot;
        // The names the scan can list: only package files with such names are remembered.
        PackageFiles::NameFilter listableName;
    };
    // The running system's sources, remembering package files whose names pass `listableName`.
    static Sources systemSources(PackageFiles::NameFilter listableName);

    explicit PosixFileSystem(Sources sources);
    // For tests: the given mount table and trash, no package database.
    PosixFileSystem(std::function<std::string()> mountInfo, std::string homeTrash);

    void beginScan() override;
    bool list(const NativeString& folder, std::vector<DirEntry>& out) override;
    std::optional<std::int64_t> fileSize(const NativeString& path) override;
    bool isProtected(const NativeString& path) override;

  private:
    Sources sources_;
    SystemFolders systemFolders_;
    std::vector<char> buffer_;  // the listing buffer, allocated on first use and kept
    PackageFiles packages_;
};

// The user's trash folder by the freedesktop rules: $XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash.
std::string homeTrashFolder();

}  // namespace kelmora::platform::posix
