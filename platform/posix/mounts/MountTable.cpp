// SPDX-License-Identifier: MIT
#include "platform/posix/mounts/MountTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
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

struct LocalType {
    std::string_view name;
    std::int64_t magic;  // statfs f_type
};
constexpr std::array<LocalType, 18> kLocalTypes = {{
    {"ext2", 0xEF53},
    {"ext3", 0xEF53},
    {"ext4", 0xEF53},
    {"xfs", 0x58465342},
    {"btrfs", 0x9123683E},
    {"f2fs", 0xF2F52010},
    {"jfs", 0x3153464A},
    {"reiserfs", 0x52654973},
    {"bcachefs", 0xCA451A4E},
    {"zfs", 0x2FC12FC1},
    {"nilfs2", 0x3434},
    {"vfat", 0x4D44},
    {"msdos", 0x4D44},
    {"exfat", 0x2011BAB0},
    {"ntfs", 0x5346544E},
    {"ntfs3", 0x5346544E},
    {"hfsplus", 0x482B},
    {"tmpfs", 0x01021994},
}};

bool under(std::string_view path, std::string_view folder) {
    return path == folder || (path.starts_with(folder) && path[folder.size()] == '/');
}

// `path` is `folder` or lies below it; everything lies below "/".
bool within(std::string_view path, std::string_view folder) {
    return folder == "/" ? path.starts_with('/') : under(path, folder);
}

// The first line of a small sysfs file, or nothing when it cannot be read.
std::optional<std::string> readLine(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    char buffer[64];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    close(fd);
    if (n < 0) return std::nullopt;
    std::string line(buffer, static_cast<std::size_t>(n));
    return line.substr(0, line.find('\n'));
}

// True when files of `mount` may report the device major:minor: the table's device, or on btrfs,
// whose subvolumes each report an anonymous device of their own, any device, when the mount is
// known by its id.
bool reportsDevice(const Mount& mount, unsigned major, unsigned minor, bool byId) {
    return (mount.major == major && mount.minor == minor) || (byId && mount.type == "btrfs");
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
        Mount mount;
        const auto colon = parts[2].find(':');
        if (colon == std::string::npos) continue;
        try {
            mount.id = std::stoull(parts[0]);
            mount.major = static_cast<unsigned>(std::stoul(parts[2].substr(0, colon)));
            mount.minor = static_cast<unsigned>(std::stoul(parts[2].substr(colon + 1)));
        } catch (const std::exception&) {
            continue;
        }
        mount.path = decodeOctal(parts[4]);
        mount.root = decodeOctal(parts[3]);
        mount.type = parts[dash + 1];
        if (dash + 2 < parts.size()) mount.source = decodeOctal(parts[dash + 2]);
        try {
            mount.parent = std::stoull(parts[1]);
        } catch (const std::exception&) {
            continue;
        }
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

bool isLocalFileSystem(std::string_view type) {
    for (const auto& local : kLocalTypes)
        if (local.name == type) return true;
    return false;
}

bool isLocalFileSystemMagic(std::int64_t magic) {
    for (const auto& local : kLocalTypes)
        if (local.magic == magic) return true;
    return false;
}

std::pair<unsigned, unsigned> mediumOf(const Mount& mount) {
    struct stat device {};
    if (mount.major == 0 && mount.source.starts_with("/dev/") &&
        stat(mount.source.c_str(), &device) == 0 && S_ISBLK(device.st_mode))
        return {major(device.st_rdev), minor(device.st_rdev)};
    return {mount.major, mount.minor};
}

bool isRemovableBlockDevice(const std::string& sysfs, unsigned major, unsigned minor) {
    const std::string device =
        sysfs + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    // A partition has no removable flag of its own; its disk is the folder above it.
    const bool partition = access((device + "/partition").c_str(), F_OK) == 0;
    const auto flag = readLine(device + (partition ? "/../removable" : "/removable"));
    return flag && *flag == "1";
}

std::string tablePathOf(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string path(4096, '\0');
    for (;;) {
        const ssize_t n = readlink(link.c_str(), path.data(), path.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        path.resize(path.size() * 2);
    }
    // A removed folder's link text ends so; an unreachable one does not start at "/".
    if (path.empty() || path.front() != '/' || path.ends_with(" (deleted)")) return {};
    return path;
}

bool entersMount(const Mount& mount, bool removable) {
    return isLocalFileSystem(mount.type) && !removable && !under(mount.path, "/media") &&
           !under(mount.path, "/run/media");
}

MountPolicy::MountPolicy(TableReader readTable, RemovableCheck removable)
    : readTable_(std::move(readTable)), removable_(std::move(removable)) {}

void MountPolicy::load() {
    mounts_ = readTable_ ? parseMountInfo(readTable_()) : std::vector<Mount>{};
    mountParents_.clear();
    longestParent_ = 0;
    for (const auto& mount : mounts_)
        if (const auto cut = mount.path.rfind('/'); cut != std::string::npos && mount.path != "/") {
            mountParents_.insert(mount.path.substr(0, cut + 1));
            longestParent_ = std::max(longestParent_, cut + 1);
        }
    decided_.clear();
    leaveOutDuplicates();
}

void MountPolicy::refresh() {
    admitted_.reset();
    rootPath_.clear();
    load();
    rereadFor_.clear();
}

void MountPolicy::admit(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor,
                        const std::string& rootPath) {
    admitted_ = Admitted{mountId, major, minor};
    rootPath_ = rootPath;
    leaveOutDuplicates();
}

void MountPolicy::leaveOutDuplicates() {
    duplicates_.clear();
    if (!admitted_ || !admitted_->mountId || rootPath_.empty() || rootPath_.front() != '/') return;
    const std::size_t count = mounts_.size();
    std::unordered_map<std::uint64_t, std::size_t> index;  // by mount id
    for (std::size_t i = 0; i < count; ++i) index.emplace(mounts_[i].id, i);
    const auto rootAt = index.find(*admitted_->mountId);
    if (rootAt == index.end()) return;
    const std::size_t root = rootAt->second;
    const auto parentOf = [&](std::size_t i) {
        const auto found = index.find(mounts_[i].parent);
        return found == index.end() || found->second == i ? count : found->second;
    };

    // What each mount shows of its file system: its root folder; for the scan root's own mount,
    // the scan root's folder.
    const Mount& rootMount = mounts_[root];
    std::string rest;
    if (within(rootPath_, rootMount.path) && rootPath_ != rootMount.path)
        rest = rootMount.path == "/" ? rootPath_ : rootPath_.substr(rootMount.path.size());
    const std::string region =
        rootMount.root == "/" ? (rest.empty() ? "/" : rest) : rootMount.root + rest;
    const auto shown = [&](std::size_t i) -> const std::string& {
        return i == root ? region : mounts_[i].root;
    };

    // The mounts the walk can reach below the scan root, that its rules let it enter, not
    // covered by a mount at the same place.
    std::vector<bool> covered(count, false);
    for (std::size_t i = 0; i < count; ++i)
        if (const std::size_t p = parentOf(i); p < count && mounts_[p].path == mounts_[i].path)
            covered[p] = true;
    std::unordered_map<std::uint64_t, bool> removable;  // by device
    std::vector<bool> candidate(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        const Mount& mount = mounts_[i];
        if (i == root || covered[i] || !within(mount.path, rootPath_) || mount.path == rootPath_)
            continue;
        const auto [major, minor] = mediumOf(mount);
        const std::uint64_t device = (std::uint64_t{major} << 32) | minor;
        const auto known = removable.find(device);
        const bool onRemovable = known != removable.end()
                                     ? known->second
                                     : (removable[device] = removable_ && removable_(major, minor));
        candidate[i] = entersMount(mount, onRemovable);
    }

    // Leave out every reachable mount that another one shows, until none is left to leave out:
    // leaving a mount out leaves the mounts on it unreached, which may let others in again.
    std::vector<bool> excluded(count, false);
    for (bool grew = true; grew;) {
        grew = false;
        std::vector<int> reached(count, -1);  // -1 unknown, 0 no, 1 yes
        const std::function<bool(std::size_t)> isReached = [&](std::size_t i) -> bool {
            if (i == root) return true;
            if (reached[i] >= 0) return reached[i] == 1;
            reached[i] = 0;  // also stops a cycle in a malformed table
            if (!candidate[i] || excluded[i]) return false;
            // The mount it sits on, past those stacked at the same place.
            std::size_t holder = parentOf(i);
            for (std::size_t steps = 0;
                 holder < count && holder != root && mounts_[holder].path == mounts_[i].path;
                 ++steps)
                holder = steps < count ? parentOf(holder) : count;
            reached[i] = holder < count && isReached(holder) ? 1 : 0;
            return reached[i] == 1;
        };
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> byDevice;
        for (std::size_t i = 0; i < count; ++i)
            if (isReached(i))
                byDevice[(std::uint64_t{mounts_[i].major} << 32) | mounts_[i].minor].push_back(i);
        for (const auto& [device, entered] : byDevice)
            for (const std::size_t m : entered) {
                if (m == root) continue;
                for (const std::size_t n : entered)
                    if (n != m && within(shown(m), shown(n)) &&
                        (shown(m) != shown(n) || n == root || n < m)) {
                        excluded[m] = grew = true;
                        break;
                    }
            }
    }
    for (std::size_t i = 0; i < count; ++i)
        if (excluded[i]) duplicates_.insert(mounts_[i].id);
}

const Mount* MountPolicy::find(std::optional<std::uint64_t> mountId, unsigned major,
                               unsigned minor) const {
    for (const auto& mount : mounts_)
        if ((mountId ? mount.id == *mountId : true) &&
            reportsDevice(mount, major, minor, mountId.has_value()))
            return &mount;
    return nullptr;
}

bool MountPolicy::mayLookInto(std::string_view path) {
    const Mount* holder = nullptr;
    for (const auto& mount : mounts_)
        if ((mount.path == "/" || under(path, mount.path)) &&
            (!holder || mount.path.size() >= holder->path.size()))
            holder = &mount;
    return !holder || mayLook(holder->id, holder->major, holder->minor);
}

bool MountPolicy::resolvesLocally(const Mount& mount) const {
    std::uint64_t parent = mount.parent;
    for (std::size_t steps = 0; steps < mounts_.size(); ++steps) {
        const auto on = std::find_if(mounts_.begin(), mounts_.end(),
                                     [&](const Mount& m) { return m.id == parent; });
        if (on == mounts_.end() || on->id == mount.id) return true;  // past the system's root
        if (on->path != "/" && !isLocalFileSystem(on->type)) return false;
        parent = on->parent;
    }
    return false;
}

bool MountPolicy::mayLook(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor) {
    if (admitted_ && admitted_->major == major && admitted_->minor == minor &&
        (!mountId || !admitted_->mountId || *mountId == *admitted_->mountId))
        return true;
    if (mountId)
        if (const auto known = decided_.find(*mountId);
            known != decided_.end() && known->second.major == major && known->second.minor == minor)
            return known->second.entered;
    const Mount* mount = find(mountId, major, minor);
    if (!mount && mountId && rereadFor_.insert(*mountId).second) {
        // A mount made since the table was read, or a reused id: read the table again.
        load();
        mount = find(mountId, major, minor);
    }
    const bool entered =
        mount && entersMount(*mount, removable_ && std::apply(removable_, mediumOf(*mount)));
    if (mountId) decided_[*mountId] = {major, minor, entered};
    return entered;
}

bool MountPolicy::enters(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor) {
    return mayLook(mountId, major, minor) && !(mountId && duplicates_.contains(*mountId));
}

}  // namespace kelmora::platform::posix
