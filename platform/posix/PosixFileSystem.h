#pragma once

#include <functional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/posix/MountTable.h"

namespace kelmora::platform::posix {

// The file system of a POSIX system, read with opendir/readdir and lstat.
//
// Traversal policy, the POSIX meaning of the scan's attributes:
// - hidden: the name starts with ".";
// - system (never entered): mount points of pseudo and network file systems, the user's trash and
//   the .Trash folders at the top of every mount, and every symbolic link to a folder, so the walk
//   never leaves the tree through a link;
// - File is a regular file only; links to files, FIFOs, sockets and devices are Other, and nothing
//   here ever opens them.
class PosixFileSystem : public FileSystem {
  public:
    // Reads the mount table from /proc/self/mountinfo and the trash from XDG_DATA_HOME or HOME.
    PosixFileSystem();
    // For tests: `mountInfo` gives the mount table text at each scan start; `homeTrash` is the
    // user's trash folder.
    PosixFileSystem(std::function<std::string()> mountInfo, std::string homeTrash);

    void beginScan() override;
    bool list(const NativeString& folder, std::vector<DirEntry>& out) override;
    std::optional<std::int64_t> fileSize(const NativeString& path) override;

  private:
    std::function<std::string()> mountInfo_;
    std::string homeTrash_;
    SystemFolders systemFolders_;
};

// The user's trash folder by the freedesktop rules: $XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash.
std::string homeTrashFolder();

}  // namespace kelmora::platform::posix
