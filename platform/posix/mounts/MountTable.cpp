#include "platform/posix/mounts/MountTable.h"

#include <fcntl.h>
#include <unistd.h>

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
        mount.type = parts[dash + 1];
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

bool isRemovableBlockDevice(const std::string& sysfs, unsigned major, unsigned minor) {
    const std::string device =
        sysfs + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    // A partition has no removable flag of its own; its disk is the folder above it.
    const bool partition = access((device + "/partition").c_str(), F_OK) == 0;
    const auto flag = readLine(device + (partition ? "/../removable" : "/removable"));
    return flag && *flag == "1";
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
    for (const auto& mount : mounts_)
        if (const auto cut = mount.path.rfind('/'); cut != std::string::npos && mount.path != "/")
            mountParents_.insert(mount.path.substr(0, cut + 1));
    decided_.clear();
}

void MountPolicy::refresh() {
    load();
    rereadFor_.clear();
    admitted_.reset();
}

void MountPolicy::admit(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor) {
    admitted_ = Admitted{mountId, major, minor};
}

const Mount* MountPolicy::find(std::optional<std::uint64_t> mountId, unsigned major,
                               unsigned minor) const {
    for (const auto& mount : mounts_)
        if ((mountId ? mount.id == *mountId : true) && mount.major == major && mount.minor == minor)
            return &mount;
    return nullptr;
}

bool MountPolicy::mayLookInto(std::string_view path) {
    const Mount* holder = nullptr;
    for (const auto& mount : mounts_)
        if ((mount.path == "/" || under(path, mount.path)) &&
            (!holder || mount.path.size() >= holder->path.size()))
            holder = &mount;
    return !holder || enters(holder->id, holder->major, holder->minor);
}

bool MountPolicy::enters(std::optional<std::uint64_t> mountId, unsigned major, unsigned minor) {
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
    const bool entered = mount && entersMount(*mount, removable_ && removable_(major, minor));
    if (mountId) decided_[*mountId] = {major, minor, entered};
    return entered;
}

}  // namespace kelmora::platform::posix
