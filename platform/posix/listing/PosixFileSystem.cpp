#include "platform/posix/listing/PosixFileSystem.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/Platform.h"

namespace kelmora::platform::posix {
namespace {

std::string readMountInfo() {
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The layout of the kernel's linux_dirent64 records: inode (8 bytes), offset (8), record length
// (2), type (1), then the name with its terminating zero.
constexpr std::size_t kRecordLengthAt = 16;
constexpr std::size_t kTypeAt = 18;
constexpr std::size_t kNameAt = 19;
constexpr std::size_t kListingBuffer = 64 * 1024;

bool isDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool isMountTrashName(std::string_view name) {
    return name == ".Trash" || name.starts_with(".Trash-");
}

}  // namespace

PosixFileSystem::Sources PosixFileSystem::systemSources(PackageFiles::NameFilter listableName) {
    return {
        readMountInfo, homeTrashLocations, "/var/lib/dpkg", std::move(listableName), "/sys", {}};
}

PosixFileSystem::PosixFileSystem(Sources sources)
    : sources_(std::move(sources)),
      mounts_(sources_.mountInfo,
              [sysfs = sources_.sysfs](unsigned major, unsigned minor) {
                  return !sysfs.empty() && isRemovableBlockDevice(sysfs, major, minor);
              }),
      chain_(mounts_),
      packages_(sources_.dpkgRoot, sources_.listableName),
      readAhead_(sources_.readAhead, sources_.listableName) {}

void PosixFileSystem::beginScan() {
    readAhead_.begin();
    mounts_.refresh();
    chain_.closeAll();
    notEntered_.clear();
    trashResolved_ = false;
    packages_.reset();
}

void PosixFileSystem::endScan() { readAhead_.end(); }

bool PosixFileSystem::isProtected(const NativeString&, const FileIdentity& file) {
    return !sources_.dpkgRoot.empty() && packages_.owns(file);
}

bool PosixFileSystem::isSystemFolder(const Facts& folder, std::string_view name,
                                     const FileIdentity& id, const Facts* looked) {
    if (looked && !sameMount(*looked, folder) &&
        !mounts_.enters(looked->mountId, looked->major, looked->minor))
        return true;
    if (folder.mountRoot && isMountTrashName(name)) return true;
    return notEntered_.contains(id);
}

std::optional<FileIdentity> PosixFileSystem::list(const NativeString& folder,
                                                  const std::optional<FileIdentity>& expected,
                                                  std::vector<DirEntry>& out) {
    const auto began = std::chrono::steady_clock::now();
    const std::size_t first = out.size();
    if (!expected) {
        if (!chain_.openRoot(folder)) return std::nullopt;
        const Facts& root = chain_.current();
        mounts_.admit(root.mountId, root.major, root.minor, tablePathOf(chain_.currentFd()));
        // The trash folders are looked for once the root's mount is known to be entered.
        if (!trashResolved_) {
            if (sources_.trashLocations)
                notEntered_ = resolveTrashFolders(sources_.trashLocations(), mounts_);
            notEntered_.merge(resolveMountTrashFolders(mounts_));
        }
        trashResolved_ = true;
        // Met again below itself, through a mount that shows more of its file system.
        notEntered_.insert(root.id);
        readAhead_.avoid(notEntered_);
    } else if (!chain_.open(folder, *expected) || notEntered_.contains(chain_.current().id)) {
        // Refused, or a folder not to enter that its listing could not tell (a mount's root, a
        // btrfs subvolume): nothing of it is listed.
        return std::nullopt;
    }
    const int dirFd = chain_.currentFd();
    const Facts here = chain_.current();
    // Where the mount table names no mount point, a subfolder's inode in the listing is its own.
    const bool lookClosely = mounts_.mayHoldMountPoints(folder);

    // Linux's getdents64 straight into a buffer kept for the whole scan: a directory stream would
    // make the same calls, plus an fstat and a buffer allocation for every folder.
    if (buffer_.empty()) buffer_.resize(kListingBuffer);
    for (;;) {
        const long read = syscall(SYS_getdents64, dirFd, buffer_.data(), buffer_.size());
        if (read <= 0) break;  // the end, or a failing continuation, ends the listing
        for (long at = 0; at < read;) {
            const char* record = buffer_.data() + at;
            unsigned short length = 0;
            std::memcpy(&length, record + kRecordLengthAt, sizeof length);
            std::uint64_t inode = 0;
            std::memcpy(&inode, record, sizeof inode);
            at += length;
            const auto type = static_cast<unsigned char>(record[kTypeAt]);
            const char* name = record + kNameAt;
            DirEntry entry;
            entry.name = name;
            entry.hidden = name[0] == '.';
            entry.id = {here.id.device, inode, {}};
            if (type == DT_REG) {
                entry.type = EntryType::File;
            } else if (isDotEntry(name)) {
                entry.type = type == DT_DIR ? EntryType::Folder : EntryType::Other;
            } else if (type == DT_DIR && !lookClosely) {
                entry.type = EntryType::Folder;
                entry.system = isSystemFolder(here, name, entry.id, nullptr);
            } else if (type == DT_DIR || type == DT_UNKNOWN) {
                // A folder's own identity and mount, never through a link: at a mount point the
                // listing's inode is the covered folder's, statx's the mounted root's.
                const auto sub = factsAt(dirFd, name, Witness::Skip);
                if (!sub) continue;  // gone since the listing
                if (sub->isFolder()) {
                    entry.type = EntryType::Folder;
                    entry.id = sub->id;
                    entry.system = isSystemFolder(here, name, sub->id, &*sub);
                } else if (sub->isRegularFile()) {
                    entry.type = EntryType::File;
                }
            }
            out.push_back(std::move(entry));
        }
    }
    if (here.mountId)
        readAhead_.offer(dirFd, *here.mountId, std::span(out).subspan(first),
                         std::chrono::steady_clock::now() - began);
    return here.id;
}

std::optional<FileDetails> PosixFileSystem::fileDetails(const DirEntry& entry) {
    const int dirFd = chain_.currentFd();
    if (dirFd < 0 || entry.type != EntryType::File) return std::nullopt;
    const auto facts = factsAt(dirFd, entry.name.c_str());
    // A file mounted over the listed name belongs to another file system: not this folder's.
    if (!facts || !facts->isRegularFile() || !sameMount(*facts, chain_.current()))
        return std::nullopt;
    return FileDetails{facts->size, facts->id};
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {

std::unique_ptr<FileSystem> makeFileSystem(NameFilter listableName) {
    return std::make_unique<posix::PosixFileSystem>(posix::PosixFileSystem::systemSources(
        [listableName](std::string_view name) { return listableName(NativeStringView(name)); }));
}

}  // namespace kelmora::platform
