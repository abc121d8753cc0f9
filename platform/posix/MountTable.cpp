#include "platform/posix/MountTable.h"

#include <array>
#include <sstream>

namespace kelmora::platform::posix {
namespace {

// mountinfo writes blanks, tabs, newlines and backslashes in paths as \ooo octal escapes.
std::string decodeOctal(std::string_view field) {
    const auto octal = [&](std::size_t k) { return field[k] >= '0' && field[k] <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::string withoutTrailingSlash(std::string path) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::vector<Mount> parseMountInfo(std::string_view text) {
    std::vector<Mount> mounts;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string f; fields >> f;) parts.push_back(f);
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::size_t dash = 6;
        while (dash < parts.size() && parts[dash] != "-") ++dash;
        if (parts.size() < 5 || dash + 1 >= parts.size()) continue;
        mounts.push_back({decodeOctal(parts[4]), parts[dash + 1]});
    }
    return mounts;
}

bool isSystemFileSystem(std::string_view type) {
    static constexpr std::array<std::string_view, 30> kTypes = {
        "proc",       "sysfs",   "devtmpfs",  "devpts",      "cgroup",   "cgroup2",
        "securityfs", "debugfs", "tracefs",   "pstore",      "bpf",      "configfs",
        "fusectl",    "mqueue",  "hugetlbfs", "binfmt_misc", "efivarfs", "selinuxfs",
        "rpc_pipefs", "nsfs",    "autofs",    "nfs",         "nfs4",     "cifs",
        "smb3",       "smbfs",   "ceph",      "glusterfs",   "9p",       "afs"};
    if (type.starts_with("fuse.")) return true;
    for (auto t : kTypes)
        if (t == type) return true;
    return false;
}

SystemFolders::SystemFolders(const std::vector<Mount>& mounts, std::string homeTrash) {
    for (const auto& m : mounts) {
        auto path = withoutTrailingSlash(m.path);
        if (isSystemFileSystem(m.type)) closed_.insert(path);
        mountPoints_.insert(std::move(path));
    }
    if (!homeTrash.empty()) closed_.insert(withoutTrailingSlash(std::move(homeTrash)));
}

bool SystemFolders::contains(std::string_view parent, std::string_view name) const {
    std::string_view parentPath = parent;
    if (!parentPath.empty() && parentPath.back() == '/') parentPath.remove_suffix(1);
    if ((name == ".Trash" || name.starts_with(".Trash-")) &&
        mountPoints_.contains(std::string(parentPath)))
        return true;
    if (closed_.empty()) return false;
    std::string full;
    full.reserve(parentPath.size() + 1 + name.size());
    full.append(parentPath).append("/").append(name);
    return closed_.contains(full);
}

}  // namespace kelmora::platform::posix
