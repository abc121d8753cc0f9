// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DirEntry.h"
#include "platform/FileIdentity.h"
#include "platform/win32/ntfs/FolderTree.h"

namespace kelmora::platform::win32 {

// A whole NTFS volume's folders, read from its master file table as a scan starts, so that the
// walk lists each folder from memory instead of opening it on the disk.
//
// The table is had only where the process can read the volume's device (\\.\C:, an elevated
// process on Windows; under Wine, a drive whose device "<letter>::" is given), its boot sector
// says NTFS, every record passes its checks, and the volume names its files by the table's
// record numbers (the root folder's file ID is record 5, with its sequence number on Windows,
// without it under Wine, which gives the file system's inode numbers): otherwise nothing, and the
// walk reads the disk as before. Identities are formed as the platform's listing forms them (the
// volume's serial number as a handle on its root reports it, and the file ID in the same form),
// so that Erase and Move to bin, which open what they act on, accept a row listed from the table.
// On a volume whose IDs carry no reuse counter the table is not used: the witness times that such
// identities need are not read from it.
//
// The table is a snapshot: a file made or removed since is not seen until the next scan, and the
// removal checks every file on the disk before it acts.
class VolumeTable {
  public:
    // Reads the table of the volume whose root is `root` ("C:\"). Gives up, with nothing, as
    // soon as `stop` (when given) is set.
    static std::optional<VolumeTable> read(const std::wstring& root,
                                           const std::atomic<bool>* stop = nullptr);

    // The folder whose identity the walk expects (nothing: the root), or nothing when the table
    // does not hold it as a folder (the caller then reads the disk).
    std::optional<std::uint32_t> folderOf(const std::optional<FileIdentity>& expected) const;
    // The security ID of that folder (0: none known), which says whose descriptor it shares.
    std::uint32_t securityIdOf(std::uint32_t folder) const { return tree_.file(folder).securityId; }
    // Lists that folder as the platform's listing would, "." and ".." aside; its identity.
    FileIdentity list(std::uint32_t folder, std::vector<DirEntry>& out) const;

    std::size_t files() const { return tree_.fileCount(); }
    std::size_t bytes() const { return tree_.bytes(); }

  private:
    VolumeTable(ntfs::FolderTree tree, std::uint64_t serial, bool idsCarrySequence)
        : tree_(std::move(tree)), serial_(serial), idsCarrySequence_(idsCarrySequence) {}
    FileIdentity identityOf(const ntfs::FolderTree::File& file) const;

    ntfs::FolderTree tree_;
    std::uint64_t serial_;
    bool idsCarrySequence_;
};

}  // namespace kelmora::platform::win32
