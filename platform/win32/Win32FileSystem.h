// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/win32/FolderChain.h"
#include "platform/win32/ListableFolders.h"
#include "platform/win32/TableRead.h"
#include "platform/win32/VolumeTable.h"

namespace kelmora::platform::win32 {

// The file system of Windows. Each folder is opened as a handle (its own reparse point, never
// what it points to) and read with GetFileInformationByHandleEx(FileIdBothDirectoryInfo), which
// gives every entry's attributes, size and file ID in one pass. A scan's first folder is opened by
// its path; each folder below it in its parent, held open from the folder before (FolderChain),
// and where that cannot be done, by its path for the rest of the scan.
//
// Traversal policy, the Windows meaning of the scan's attributes:
// - hidden and system are the entries' own FILE_ATTRIBUTE_HIDDEN and FILE_ATTRIBUTE_SYSTEM;
// - a folder that is a name-surrogate reparse point (symbolic link, junction, mount point) is also
//   marked system, so the walk never leaves the tree through one nor circles through a cycle;
//   other reparse points (cloud-file placeholders and the like) are entered like any folder;
// - File is a file that is no link and no device; a link to a file is Other.
// Identities are (volume serial number, file ID), with the size and times of the directory record
// where the volume's IDs carry no reuse counter (see IdReuse in Win32Identity.h). A folder is
// listed only when the handle opened on it shows the expected identity and no link: a folder
// swapped since its parent's listing, or replaced by a junction, is refused. A file's size (64-bit)
// and identity come from the same directory record, never through a link.
//
// A scan that starts at a drive's root also reads that volume's master file table (VolumeTable),
// on a thread of its own (TableRead). The walk waits for it, the window answering, for a few
// seconds at most; it reads the disk as above meanwhile only for a folder during whose wait the
// window had messages to handle, and after that. From the first folder after the table is there,
// every folder is listed from memory, in the order and with the attributes, sizes and identities
// that its listing on the disk gives, so the rows are the same whichever way each folder was read.
// A folder the table does not hold, and every scan whose table cannot be had, reads the disk. A
// folder of the table that the walk could not open is not listed either, as on the disk
// (ListableFolders decides it, opening few folders).
class Win32FileSystem : public FileSystem {
  public:
    // Tells whether Windows Resource Protection guards the file at a full path.
    using ProtectionCheck = std::function<bool(const std::wstring& path)>;
    // Whether a scan of a drive's root may list it from the volume's master file table.
    enum class TableUse : std::uint8_t { FromTable, DiskOnly };

    // Asks SfcIsFileProtected of sfc.dll, loaded on first use; no protection where it is missing.
    Win32FileSystem();
    // For tests: `isProtected` answers in place of Windows Resource Protection, and
    // `folderOpens`, when given, in place of opening a folder listed from a table.
    explicit Win32FileSystem(ProtectionCheck isProtected, TableUse tableUse = TableUse::FromTable,
                             ListableFolders::Opener folderOpens = {});
    ~Win32FileSystem() override;

    void beginScan() override;
    void endScan() override;
    using FileSystem::list;
    std::optional<FileIdentity> list(const NativeString& folder,
                                     const std::optional<FileIdentity>& expected,
                                     std::vector<DirEntry>& out, std::size_t sameAsLast) override;
    std::optional<FileDetails> fileDetails(const DirEntry& entry) override;
    bool isProtected(const NativeString& path, const FileIdentity& file) override;

    // True while the running scan lists from a master file table.
    bool listsFromTable() const { return table_ != nullptr; }
    // True when no read of a table is under way (none started, or it has ended).
    bool tableReadEnded() const { return !reading_ || reading_->ended(); }

  private:
    ProtectionCheck isProtected_;
    TableUse tableUse_;
    bool tableTried_ = false;
    std::unique_ptr<TableRead> reading_;  // the running scan's table, until it is taken up
    std::chrono::steady_clock::time_point tableWaitEnds_;  // the walk waits for reading_ until then
    std::unique_ptr<VolumeTable> table_;                   // for the running scan only
    ListableFolders::Opener folderOpens_;
    std::unique_ptr<ListableFolders> listable_;  // with table_
    std::vector<std::uint64_t> buffer_;  // directory records, 8-byte aligned; kept between folders
    // The folders from the volume's root to the last one listed, open (sharing everything) for
    // the next folder, which is opened in its parent; until the scan ends.
    FolderChain chain_{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    NativeString chainEnd_;     // the folder the chain was last found to end at
    bool chainFailed_ = false;  // this scan's folders are opened by their paths
};

// Windows Resource Protection's answer for the file at `path`, from SfcIsFileProtected of sfc.dll
// (loaded on the first call, kept for the process); false when sfc.dll or the function is missing.
bool isFileGuardedBySystem(const std::wstring& path);

// The neutral form of one found entry: its name (taken), kind and scan attributes.
DirEntry toDirEntry(std::wstring name, unsigned long attributes, unsigned long reparseTag);

}  // namespace kelmora::platform::win32
