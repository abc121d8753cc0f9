// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/win32/ntfs/Runlist.h"

namespace kelmora::platform::win32::ntfs {

// A file reference: the record's number in the low 48 bits, its sequence number (how many times
// the record was used for a file) in the top 16.
constexpr std::uint64_t recordNumberOf(std::uint64_t reference) {
    return reference & 0x0000'FFFF'FFFF'FFFFULL;
}
constexpr std::uint16_t sequenceOf(std::uint64_t reference) {
    return static_cast<std::uint16_t>(reference >> 48);
}

// The namespace of a $FILE_NAME: a POSIX name (any case, most characters), a Win32 name, a DOS
// 8.3 name given beside a Win32 one, or one name that is both.
enum class NameSpace : std::uint8_t { Posix = 0, Win32 = 1, Dos = 2, Win32AndDos = 3 };

struct FileName {
    std::uint64_t parent = 0;  // the folder's file reference
    NameSpace space = NameSpace::Posix;
    std::u16string name;
};

// An entry of $ATTRIBUTE_LIST: an attribute of the file, held in the record `holder` (a file
// reference), from cluster `startVcn` of its value on.
struct ListedAttribute {
    std::uint32_t type = 0;
    std::uint64_t startVcn = 0;
    std::uint64_t holder = 0;
    bool named = false;
};

// What one record of the master file table says, once its update sequence is checked.
struct MftRecord {
    std::uint16_t sequence = 0;
    bool inUse = false;
    bool folder = false;
    std::uint64_t base = 0;  // an extension record's base record (a reference); 0 for a base record
    std::optional<std::uint32_t> attributes;  // $STANDARD_INFORMATION's FILE_ATTRIBUTE_* bits
    // The security ID of NTFS 3.x's $STANDARD_INFORMATION: files of one ID share one security
    // descriptor (held in $Secure). 0 when the record has none, or a $SECURITY_DESCRIPTOR of its
    // own (as NTFS 1.x keeps one in every file), so that no other file is known to share it.
    std::uint32_t securityId = 0;
    std::vector<FileName> names;  // every $FILE_NAME, in the record's order
    // The unnamed $DATA: its size, given by the part of it that starts at cluster 0 (resident or
    // not; named streams, allocated and compressed sizes are not the file's size), and the runs
    // of the part held in this record, from cluster `dataStartVcn` of the value on.
    std::optional<std::uint64_t> dataSize;
    std::uint64_t dataStartVcn = 0;
    std::vector<Run> dataRuns;
    // The reparse point's tag; when its value is held out of the record, the volume cluster
    // where the value (and so its tag) begins, for the reader to read the tag from.
    std::optional<std::uint32_t> reparseTag;
    std::optional<std::uint64_t> reparseCluster;
    // $VOLUME_INFORMATION's flags, which only $Volume (record 3) has.
    std::optional<std::uint16_t> volumeFlags;
    // $ATTRIBUTE_LIST: its entries when resident; when not, its runs and size, to be read.
    bool hasAttributeList = false;
    std::vector<ListedAttribute> attributeList;
    std::vector<Run> attributeListRuns;
    std::uint64_t attributeListSize = 0;
};

// The attribute types read here.
namespace attribute {
constexpr std::uint32_t kStandardInformation = 0x10;
constexpr std::uint32_t kAttributeList = 0x20;
constexpr std::uint32_t kFileName = 0x30;
constexpr std::uint32_t kData = 0x80;
constexpr std::uint32_t kSecurityDescriptor = 0x50;
constexpr std::uint32_t kVolumeInformation = 0x70;
constexpr std::uint32_t kReparsePoint = 0xC0;
constexpr std::uint32_t kEnd = 0xFFFFFFFF;
}  // namespace attribute

// What a record's first bytes say before anything is checked.
enum class RecordState : std::uint8_t {
    Unused,   // never written (zeros), or a "FILE" record not in use: no file
    Damaged,  // neither: a record that fails its checks, which may be any file or folder
    Valid,
};

// Checks the update sequence of the raw record `record` (its whole size) and puts the sector
// ends it saved back in place. A record is written with the last two bytes of each 512-byte
// stride replaced by the sequence number; a stride whose end does not hold it was not written
// whole (a torn write), and the record is Damaged. A record whose magic is not "FILE" is Damaged,
// unless it is all zeros or not in use.
RecordState applyFixups(std::span<std::byte> record);

// Parses a record that applyFixups found Valid. Nothing when its layout is inconsistent (an
// attribute that runs past the record's used size, a name past its attribute, a malformed
// runlist, ...): the record is then Damaged. `totalClusters` bounds the runlists.
std::optional<MftRecord> parseRecord(std::span<const std::byte> record,
                                     std::uint64_t totalClusters);
// The same into `into`, whose arrays keep their room from one record to the next; false when
// the record is Damaged (`into` then holds nothing of use).
bool parseRecord(std::span<const std::byte> record, std::uint64_t totalClusters, MftRecord& into);

// Parses the entries of a $ATTRIBUTE_LIST value; nothing when they run past it.
std::optional<std::vector<ListedAttribute>> parseAttributeList(std::span<const std::byte> value);

}  // namespace kelmora::platform::win32::ntfs
