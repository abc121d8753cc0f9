// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "platform/win32/ntfs/BootSector.h"
#include "platform/win32/ntfs/MftRecord.h"

namespace kelmora::platform::win32::ntfs {

// A stretch of the volume: `length` bytes from byte `offset`.
struct Piece {
    std::uint64_t offset = 0;
    std::size_t length = 0;
};

// Reads `into.size()` bytes of the volume from byte `offset` (both multiples of the sector size
// whenever the caller asks for whole sectors, as everything here does). False on a failed or
// short read. `next`, when given, is the piece that the caller will ask for next, which the
// reader may read meanwhile; a piece read so is still asked for, and may never be.
using VolumeReader =
    std::function<bool(std::uint64_t offset, std::span<std::byte> into, std::optional<Piece> next)>;

// What reading the table hands on, record by record in the table's order, so that it is kept in
// the receiver's own compact form and no record outlives its parsing.
class TableSink {
  public:
    // Before the first record: how many records the table has (numbers 0 to records - 1).
    virtual void begin(std::uint64_t records) = 0;
    // A base record in use, number `number`; `record` is parsed over for the next one.
    virtual void file(std::uint64_t number, const MftRecord& record) = 0;
    // An extension record in use: more of the file whose base record `record.base` names, when
    // that base is in use with the same sequence number; otherwise it belongs to no file.
    virtual void extension(const MftRecord& record) = 0;

  protected:
    ~TableSink() = default;
};

// Why a volume's table was not read.
enum class TableRefusal : std::uint8_t {
    NotNtfs,        // no NTFS boot sector
    ReadFailed,     // a read failed or came short
    DamagedRecord,  // a record failed its update sequence or its layout checks
    UnexpectedMft,  // the table's own record 0 or its extents are not as NTFS writes them
    BadUpcase,      // $UpCase (record 10) is missing, unreadable or not an upper-case table
    // A size that the volume claims is more than it holds: a boot sector whose last sector the
    // device cannot read, a table larger than the volume, an attribute list past NTFS's limit.
    ClaimBeyondVolume,
    // $Volume's dirty flag is set: the volume was not unmounted cleanly or awaits a check, so
    // its records may disagree with what the system lists.
    DirtyVolume,
};

// The number of entries of $UpCase: one for each UTF-16 code unit.
constexpr std::size_t kUpcaseEntries = 65536;

// Reads the boot sector, the master file table's own extents from record 0's unnamed $DATA
// runlist (and from its extension records, which $ATTRIBUTE_LIST names, for a fragmented table),
// then the whole table in large sequential reads, parsing every record as its read arrives and
// handing it to `sink`; then the volume's upper-case table, record 10's unnamed $DATA, into
// `upcase` (kUpcaseEntries entries), which orders the names of a folder's index.
//
// Every size the volume claims is checked against what it holds before anything of that size is
// allocated or read: the boot sector's size against the device (its last sector must read), the
// table's runs against the boot sector's clusters, an attribute list against NTFS's 256 KiB and
// its own clusters. So a damaged or hostile volume costs no more memory and reading than its size.
//
// All or nothing: one damaged record refuses the whole table (false, and `refusal` says why),
// since it may be any folder, whose files would then be missing without a trace; the caller
// drops what the sink was given and reads the volume another way. So does an $UpCase that cannot
// be read or is no upper-case table (of another size, or not mapping "a" to "z" on "A" to "Z"),
// since the listing order could not be the index's, and a volume marked dirty.
//
// Folders are listed from their files' records ($FILE_NAME), never from their indexes, whose
// slack may still hold the entries of deleted files.
bool readMasterFileTable(const VolumeReader& read, TableSink& sink, std::vector<char16_t>& upcase,
                         TableRefusal& refusal);

}  // namespace kelmora::platform::win32::ntfs
