// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ntfs/MasterFileTable.h"

namespace kelmora::platform::win32::ntfs {

// A volume's folders and what each holds, in memory, built from its master file table: for each
// folder the names that a directory listing returns (Win32 and POSIX names, never a DOS-only name;
// a file of several names once under each), in listing order, with each file's attributes, size,
// security ID and file reference.
//
// Memory: one File per file or folder (32 bytes), one Entry per name (16 bytes), the names'
// UTF-16 text (in blocks of 64 KiB, so that it grows without copying), and 4 bytes per table
// record: about 52 bytes plus twice the name's length a file, under the 128 bytes a file allowed
// for names of up to some 38 characters (a system drive's names average about 20). It is built as
// the table is read, each record parsed and put straight into these arrays (room for one File
// and one Entry a record is taken at the start, from the table's size), so that the read and the
// build together take no more than the finished tree, the read's one buffer (4 MiB) and the
// upper-case table (128 KiB) aside (on a volume whose names outnumber its records, the entries
// then grow by a quarter at a time). bench/win32/table_bench.cpp measures the heap's peak
// (bench/README.md): for 303,034 records with names of 5 to 10 characters, 66.1 bytes a file in
// the finished tree and 80.8 bytes a file (23.4 MiB) at the peak of the read and build, the read
// buffer included; the device reader's two page-aligned buffers of 4 MiB (the piece parsed and
// the piece read meanwhile), outside the heap, bring the peak to 108 bytes a file there.
class FolderTree {
  public:
    struct File {
        std::uint64_t reference = 0;   // record number, and its sequence number in the top 16 bits
        std::uint64_t size = 0;        // of the unnamed data stream
        std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_*, FILE_ATTRIBUTE_DIRECTORY for a folder
        std::uint32_t reparseTag = 0;  // when attributes say reparse point; 0: unknown
        std::uint32_t securityId = 0;  // files of one ID share a security descriptor; 0: unknown
        // A folder's entries, from here to the next file's firstEntry (or the end).
        std::uint32_t firstEntry = 0;
    };
    struct Entry {
        std::uint32_t file = 0;    // index into the files
        std::uint32_t folder = 0;  // the folder it is listed in (while building: its record)
        std::uint32_t nameAt = 0;
        std::uint16_t nameLength = 0;
        std::uint16_t folderSequence = 0;  // while building: the folder reference's sequence
    };
    static constexpr std::uint64_t kRootRecord = 5;

    // Reads the table of the volume that `read` reads (readMasterFileTable) and builds its tree,
    // each folder's names in the order of the volume's upper-case table. Nothing when the table
    // is refused (`refusal` says why).
    static std::optional<FolderTree> read(const VolumeReader& read, TableRefusal& refusal);

    // The file of record `number`, when the table holds it in use.
    std::optional<std::uint32_t> fileOfRecord(std::uint64_t number) const {
        if (number >= byRecord_.size() || byRecord_[number] == kNone) return std::nullopt;
        return byRecord_[number];
    }
    const File& file(std::uint32_t index) const { return files_[index]; }
    // The entries of the folder `index`, in listing order.
    std::span<const Entry> entriesOf(std::uint32_t index) const {
        const std::size_t end =
            index + 1 < files_.size() ? files_[index + 1].firstEntry : entries_.size();
        return std::span(entries_).subspan(files_[index].firstEntry,
                                           end - files_[index].firstEntry);
    }
    std::u16string_view name(const Entry& entry) const {
        return std::u16string_view(blocks_[entry.nameAt / kBlock])
            .substr(entry.nameAt % kBlock, entry.nameLength);
    }
    std::size_t fileCount() const { return files_.size(); }
    // The bytes that the tree holds.
    std::size_t bytes() const;

  private:
    class Builder;
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    static constexpr std::uint32_t kBlock = 32768;  // UTF-16 code units of names a block

    std::vector<File> files_;
    std::vector<Entry> entries_;
    std::vector<std::u16string> blocks_;  // the names, none across two blocks
    std::vector<std::uint32_t> byRecord_;
};

}  // namespace kelmora::platform::win32::ntfs
