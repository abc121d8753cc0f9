#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kelmora::platform::posix {

// One line of /proc/self/mountinfo, reduced to what the scan needs.
struct Mount {
    std::string path;  // mount point as the kernel spells it, octal escapes decoded
    std::string type;  // file-system type, such as "ext4", "proc" or "fuse.sshfs"
};

// Reads the mount table text of /proc/self/mountinfo. Malformed lines are skipped.
std::vector<Mount> parseMountInfo(std::string_view text);

// True for the kernel's pseudo file systems and for network or remote ones: the scan does not enter
// their mount points, the POSIX counterpart of folders that carry the system attribute.
bool isSystemFileSystem(std::string_view type);

// The folders a scan must never enter, worked out once per scan from the mount table and the
// user's trash folder. Paths are absolute, without a trailing "/" (the root is "").
class SystemFolders {
  public:
    SystemFolders() = default;
    SystemFolders(const std::vector<Mount>& mounts, std::string homeTrash);

    // `parent` is the folder path ending in "/", `name` an entry of it that is a real folder.
    bool contains(std::string_view parent, std::string_view name) const;

  private:
    std::unordered_set<std::string> closed_;       // pseudo or remote mount points, the home trash
    std::unordered_set<std::string> mountPoints_;  // every mount point: their .Trash folders
};

}  // namespace kelmora::platform::posix
