#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/win32/ntfs/BootSector.h"
#include "platform/win32/ntfs/MftRecord.h"

namespace kelmora::platform::win32::ntfs {

// Reads `into.size()` bytes of the volume from byte `offset` (both multiples of the sector size
// whenever the caller asks for whole sectors, as everything here does). False on a failed or
// short read.
using VolumeReader = std::function<bool(std::uint64_t offset, std::span<std::byte> into)>;

// One file or folder of the table: a base record in use, with what its extension records hold.
struct TableFile {
    std::uint64_t number = 0;
    std::uint16_t sequence = 0;
    bool folder = false;
    std::uint32_t attributes = 0;  // $STANDARD_INFORMATION's; FILE_ATTRIBUTE_DIRECTORY not added
    std::uint64_t size = 0;        // of the unnamed $DATA; 0 when it has none (a folder)
    std::optional<std::uint32_t> reparseTag;
    std::vector<FileName> names;  // every name, DOS-only ones included
};

struct MasterFileTable {
    BootSector geometry;
    std::vector<TableFile> files;  // by record number
};

// Why a volume's table was not read.
enum class TableRefusal : std::uint8_t {
    NotNtfs,        // no NTFS boot sector
    ReadFailed,     // a read failed or came short
    DamagedRecord,  // a record failed its update sequence or its layout checks
    UnexpectedMft,  // the table's own record 0 or its extents are not as NTFS writes them
};

// Reads the boot sector, the master file table's own extents from record 0's unnamed $DATA
// runlist (and from its extension records, which $ATTRIBUTE_LIST names, for a fragmented table),
// then the whole table in large sequential reads, and parses every record.
//
// All or nothing: one damaged record refuses the whole table (`refusal`), since it may be any
// folder, whose files would then be missing without a trace; the caller reads the volume another
// way. Extension records are merged into their base record (through the base reference that
// each carries, which is what $ATTRIBUTE_LIST points at), when the base is in use and of the same
// sequence number; otherwise they belong to no file.
std::optional<MasterFileTable> readMasterFileTable(const VolumeReader& read, TableRefusal& refusal);

}  // namespace kelmora::platform::win32::ntfs
