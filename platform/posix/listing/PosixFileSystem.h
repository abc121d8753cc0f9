// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/posix/listing/FolderChain.h"
#include "platform/posix/listing/PackageFiles.h"
#include "platform/posix/listing/ReadAhead.h"
#include "platform/posix/mounts/MountTable.h"
#include "platform/posix/removal/TrashFolders.h"
#include "platform/posix/shared/IdentitySet.h"

namespace kelmora::platform::posix {

// The file system of a Linux system, walked by open folder descriptors and read with getdents64
// and statx.
//
// Traversal policy, the POSIX meaning of the scan's attributes:
// - Folders are reached one name at a time relative to an open ancestor, never through a link,
//   and must still be the folder (device, inode) that their parent's listing reported; see
//   FolderChain. Links of any kind are Other: never listed, never entered, never resolved.
// - Cold caches: a listing that made the walk wait hands its subfolders to a ReadAhead, whose
//   threads read on below them so that the walk finds them in the caches; the walk reads and
//   checks everything itself, as without it, but for the listings of folders that it finds
//   unchanged since a read-ahead thread listed them, which it takes instead of listing them again.
// - system (never entered): a folder on another mount than the folder listing it, unless the
//   mount is one the MountPolicy enters (a local disk file system or tmpfs, not removable, not
//   mounted under /media or /run/media, and not showing files that another entered mount shows;
//   see MountTable.h for the allowlist and why); the home trash folders, known by identity however
//   the home is spelled; the software stores of Flatpak, Nix and Guix, likewise (see
//   SoftwareStores.h); .Trash and .Trash-* at the top of every mount, bind mounts included, known
//   by identity before the walk and by name at the top of a mount it meets; and the scan root
//   itself, met again through a mount that shows more of its file system. In a folder where the
//   mount table names mount points, subfolders are looked at with statx, which reports a mounted
//   folder's own root without asking its file system anything, so a remote or FUSE mount is never
//   touched. Elsewhere the listing's inode stands for the subfolder; a mount point made there since
//   the table was read shows another identity when it is opened and is refused then, before
//   anything is asked of its file system.
// - btrfs: a btrfs mount is entered like any local one, and a subvolume inside an entered folder
//   like any folder, once btrfs confirms it is the subvolume the listing named (see FolderChain);
//   a read-only subvolume (a snapshot) is never entered. A subvolume mounted on its own as well
//   is listed once, as for any folder that two mounts show.
// - hidden: the name starts with ".".
// - File is a regular file only; FIFOs, sockets and devices are Other, and nothing here ever opens
//   them. A file's size and identity are read together by name relative to the listed folder.
// - protected: a file that an installed package owns, by identity (see PackageFiles).
class PosixFileSystem : public FileSystem {
  public:
    // Where the system's facts come from.
    struct Sources {
        // Gives the mount table text (/proc/self/mountinfo) at each scan start, and again when the
        // walk meets a mount it does not know.
        std::function<std::string()> mountInfo;
        // Where the trash folders are, asked at each scan start.
        std::function<std::vector<TrashLocation>()> trashLocations;
        // The package databases whose files are protected (see PackageFiles); none protects
        // nothing.
        std::vector<std::shared_ptr<PackageDatabase>> packageDatabases;
        // The names the scan can list: only package files with such names are remembered.
        PackageFiles::NameFilter listableName;
        // Where sysfs is mounted, for the removable flag of block devices; empty for none.
        std::string sysfs;
        // How the folders the walk is about to visit are read ahead (see ReadAhead).
        ReadAhead::Options readAhead;
        // Where the software stores are (see SoftwareStores.h), asked at each scan start.
        std::function<std::vector<TrashLocation>()> storeLocations{};
    };
    // The running system's sources, remembering package files whose names pass `listableName`.
    static Sources systemSources(PackageFiles::NameFilter listableName);

    explicit PosixFileSystem(Sources sources);

    void beginScan() override;
    void endScan() override;
    using FileSystem::list;
    std::optional<FileIdentity> list(const NativeString& folder,
                                     const std::optional<FileIdentity>& expected,
                                     std::vector<DirEntry>& out, std::size_t sameAsLast) override;
    std::optional<FileDetails> fileDetails(const DirEntry& entry) override;
    bool isProtected(const NativeString& path, const FileIdentity& file) override;

    // How many folders' listings the walk took from the read-ahead, over every scan.
    std::size_t handedOver() const { return handedOver_; }

  private:
    // Whether the subfolder `name` of `folder`, with identity `id`, is never to be entered;
    // `looked` is what statx told of it, when it was asked.
    bool isSystemFolder(const Facts& folder, std::string_view name, const FileIdentity& id,
                        const Facts* looked);

    Sources sources_;
    MountPolicy mounts_;
    FolderChain chain_;
    NumberSet notEntered_;  // by number: the trash folders, and the scan root below itself
    bool trashResolved_ = false;
    std::vector<char> buffer_;  // the listing buffer, allocated on first use and kept
    PackageFiles packages_;
    ReadAhead readAhead_;
    std::size_t handedOver_ = 0;
};

}  // namespace kelmora::platform::posix
