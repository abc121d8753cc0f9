#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/win32/ntfs/MasterFileTable.h"

namespace kelmora::platform::win32::ntfs {

// A volume's folders and what each holds, in memory, built from its master file table: for each
// folder the names that a directory listing returns (Win32 and POSIX names, never a DOS-only name;
// a file of several names once under each), in listing order, with each file's attributes, size
// and file reference.
//
// Memory: one File per file or folder (32 bytes), one Entry per name (12 bytes), the names'
// UTF-16 text, and 4 bytes per table record: about 50 bytes plus twice the name's length a file,
// under the 128 bytes a file allowed for names of up to some 39 characters (a system drive's names
// average about 20). Building it holds the parsed table too, which is let go as it is consumed.
class FolderTree {
  public:
    struct File {
        std::uint64_t reference = 0;   // record number, and its sequence number in the top 16 bits
        std::uint64_t size = 0;        // of the unnamed data stream
        std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_*, FILE_ATTRIBUTE_DIRECTORY for a folder
        std::uint32_t reparseTag = 0;  // when attributes say reparse point; 0: unknown
        std::uint32_t firstEntry = 0;  // a folder's entries, [firstEntry, firstEntry + entries)
        std::uint32_t entries = 0;
    };
    struct Entry {
        std::uint32_t file = 0;  // index into files()
        std::uint32_t nameAt = 0;
        std::uint16_t nameLength = 0;
    };
    static constexpr std::uint64_t kRootRecord = 5;

    // The folder listing order: names compared by their upper-case form (`upcase`, 65,536
    // entries, one for each UTF-16 code unit), then, for names equal in it, code unit by code
    // unit. The table is consumed.
    static FolderTree build(MasterFileTable&& table, std::span<const char16_t> upcase);

    // The file of record `number`, when the table holds it in use.
    std::optional<std::uint32_t> fileOfRecord(std::uint64_t number) const {
        if (number >= byRecord_.size() || byRecord_[number] == kNone) return std::nullopt;
        return byRecord_[number];
    }
    const File& file(std::uint32_t index) const { return files_[index]; }
    std::span<const Entry> entriesOf(const File& folder) const {
        return std::span(entries_).subspan(folder.firstEntry, folder.entries);
    }
    std::u16string_view name(const Entry& entry) const {
        return std::u16string_view(names_).substr(entry.nameAt, entry.nameLength);
    }
    std::size_t fileCount() const { return files_.size(); }
    // The bytes that the tree holds.
    std::size_t bytes() const {
        return files_.capacity() * sizeof(File) + entries_.capacity() * sizeof(Entry) +
               names_.capacity() * sizeof(char16_t) + byRecord_.capacity() * sizeof(std::uint32_t);
    }

  private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    std::vector<File> files_;
    std::vector<Entry> entries_;
    std::u16string names_;
    std::vector<std::uint32_t> byRecord_;
};

}  // namespace kelmora::platform::win32::ntfs
