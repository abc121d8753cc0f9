// SPDX-License-Identifier: MIT
#include "platform/posix/listing/PosixFileSystem.h"

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/Platform.h"
#include "platform/posix/listing/Dirents.h"
#include "platform/posix/listing/SoftwareStores.h"

namespace kelmora::platform::posix {
namespace {

std::string readMountInfo() {
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

constexpr std::size_t kListingBuffer = 64 * 1024;

bool isDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

}  // namespace

PosixFileSystem::Sources PosixFileSystem::systemSources(PackageFiles::NameFilter listableName) {
    return {readMountInfo,
            homeTrashLocations,
            systemPackageDatabases(),
            std::move(listableName),
            "/sys",
            {},
            softwareStoreLocations};
}

PosixFileSystem::PosixFileSystem(Sources sources)
    : sources_(std::move(sources)),
      mounts_(sources_.mountInfo,
              [sysfs = sources_.sysfs](unsigned major, unsigned minor) {
                  return !sysfs.empty() && isRemovableBlockDevice(sysfs, major, minor);
              }),
      chain_(mounts_),
      packages_(sources_.packageDatabases, sources_.listableName),
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
    return !sources_.packageDatabases.empty() && packages_.owns(file);
}

bool PosixFileSystem::isSystemFolder(const Facts& folder, std::string_view name,
                                     const FileIdentity& id, const Facts* looked) {
    if (looked && !sameMount(*looked, folder) &&
        !mounts_.enters(looked->mountId, looked->major, looked->minor))
        return true;
    if (folder.mountRoot && isMountTrashName(name)) return true;
    // On btrfs a listed number may be a subvolume's id rather than an inode: only the folder's
    // own identity tells, once it is opened.
    return !(folder.btrfs && !looked) && notEntered_.contains(id);
}

std::optional<FileIdentity> PosixFileSystem::list(const NativeString& folder,
                                                  const std::optional<FileIdentity>& expected,
                                                  std::vector<DirEntry>& out,
                                                  std::size_t sameAsLast) {
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
            if (sources_.storeLocations)
                notEntered_.merge(resolveTrashFolders(sources_.storeLocations(), mounts_));
        }
        trashResolved_ = true;
        // Met again below itself, through a mount that shows more of its file system.
        notEntered_.insert(root.id);
        readAhead_.avoid(notEntered_);
    } else if (!chain_.open(folder, *expected, sameAsLast) ||
               notEntered_.contains(chain_.current().id)) {
        // Refused, or a folder not to enter that its listing could not tell (a mount's root, a
        // btrfs subvolume): nothing of it is listed.
        return std::nullopt;
    }
    const int dirFd = chain_.currentFd();
    const Facts here = chain_.current();
    // Where the mount table names no mount point, a subfolder's inode in the listing is its own.
    const bool lookClosely = mounts_.mayHoldMountPoints(folder);

    const auto add = [&](const Dirent& listed) {
        const char* name = listed.name;
        DirEntry entry;
        entry.name = name;
        entry.hidden = name[0] == '.';
        entry.id = {here.id.device, listed.inode, {}};
        if (listed.type == DT_REG) {
            entry.type = EntryType::File;
        } else if (isDotEntry(name)) {
            entry.type = listed.type == DT_DIR ? EntryType::Folder : EntryType::Other;
        } else if (listed.type == DT_DIR && !lookClosely) {
            entry.type = EntryType::Folder;
            entry.system = isSystemFolder(here, name, entry.id, nullptr);
        } else if (listed.type == DT_DIR || listed.type == DT_UNKNOWN) {
            // A folder's own identity and mount, never through a link: at a mount point the
            // listing's inode is the covered folder's, statx's the mounted root's.
            const auto sub = factsAt(dirFd, name, Witness::Skip);
            if (!sub) return true;  // gone since the listing
            if (sub->isFolder()) {
                entry.type = EntryType::Folder;
                entry.id = sub->id;
                entry.system = isSystemFolder(here, name, sub->id, &*sub);
            } else if (sub->isRegularFile()) {
                entry.type = EntryType::File;
            }
        }
        out.push_back(std::move(entry));
        return true;
    };
    // The read-ahead's listing of this very folder, unchanged since, where it kept one.
    if (const auto kept = readAhead_.takeListing(here)) {
        forEachEntry(kept->entries, add);
        ++handedOver_;
        // The read-ahead found this folder in the caches and stopped there; its subfolders may
        // not be, and the walk, which now waits for nothing here, would not tell.
        if (!kept->readsBelow && here.mountId)
            readAhead_.offer(dirFd, *here.mountId, std::span(out).subspan(first), {}, true);
        return here.id;
    }
    // A buffer kept for the whole scan.
    if (buffer_.empty()) buffer_.resize(kListingBuffer);
    readDirents(dirFd, buffer_, add);
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
    return FileDetails{facts->size, facts->id, facts->links};
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {

std::unique_ptr<FileSystem> makeFileSystem(NameFilter listableName) {
    return std::make_unique<posix::PosixFileSystem>(posix::PosixFileSystem::systemSources(
        [listableName](std::string_view name) { return listableName(NativeStringView(name)); }));
}

}  // namespace kelmora::platform
