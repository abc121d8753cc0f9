// SPDX-License-Identifier: MIT
#include "platform/win32/ntfs/MasterFileTable.h"

#include <algorithm>
#include <map>

#include "platform/win32/ntfs/LittleEndian.h"

namespace kelmora::platform::win32::ntfs {
namespace {

constexpr std::size_t kChunk = 4u << 20;  // bytes per sequential read of the table
// NTFS never lets a file's $ATTRIBUTE_LIST grow past 256 KiB.
constexpr std::uint64_t kMostAttributeList = 256u << 10;

// The clusters that `runs` hold on disk, when none is a hole and together they fit in
// `totalClusters`; nothing otherwise (a hole may claim any length, and a run past the volume
// would already have been refused, but many runs can claim the same clusters).
std::optional<std::uint64_t> clustersOnDisk(const std::vector<Run>& runs,
                                            std::uint64_t totalClusters) {
    std::uint64_t sum = 0;
    for (const Run& run : runs) {
        if (run.sparse() || run.clusters > totalClusters - sum) return std::nullopt;
        sum += run.clusters;
    }
    return sum;
}

// The clusters of an attribute's value, in order of its VCNs.
struct Extents {
    std::vector<Run> runs;

    // The volume offset of byte `offset` of the value, when it lies in clusters on disk.
    std::optional<std::uint64_t> volumeOffset(std::uint64_t offset, std::uint32_t cluster) const {
        std::uint64_t vcn = offset / cluster;
        for (const Run& run : runs) {
            if (vcn < run.clusters) {
                if (run.sparse()) return std::nullopt;
                return (static_cast<std::uint64_t>(run.lcn) + vcn) * cluster + offset % cluster;
            }
            vcn -= run.clusters;
        }
        return std::nullopt;
    }
};

class TableReader {
  public:
    TableReader(const VolumeReader& read, TableSink& sink, TableRefusal& refusal)
        : read_(read), sink_(sink), refusal_(refusal) {}

    bool run(std::vector<char16_t>& upcase);

  private:
    std::optional<std::vector<std::byte>> readBytes(std::uint64_t offset, std::size_t length) {
        std::vector<std::byte> bytes(length);
        if (!read_(offset, bytes, std::nullopt))
            return fail(TableRefusal::ReadFailed), std::nullopt;
        return bytes;
    }
    void fail(TableRefusal why) { refusal_ = why; }
    std::optional<MftRecord> recordAt(std::uint64_t offset);
    bool readExtents(const MftRecord& zero);
    bool take(std::span<std::byte> raw, std::uint64_t number);
    bool readUpcase(std::vector<char16_t>& upcase);

    const VolumeReader& read_;
    TableSink& sink_;
    TableRefusal& refusal_;
    BootSector geometry_;
    Extents mft_;
    std::uint64_t totalClusters_ = 0;
    // Record 10's unnamed $DATA: the volume's upper-case table.
    static constexpr std::uint64_t kUpcaseRecord = 10;
    // Record 3, $Volume, whose $VOLUME_INFORMATION says whether the volume is dirty.
    static constexpr std::uint64_t kVolumeRecord = 3;
    static constexpr std::uint16_t kVolumeDirty = 0x0001;
    std::vector<std::byte> reparseSector_;
    Extents upcase_;
    std::optional<std::uint64_t> upcaseSize_;
    MftRecord record_;  // each record parsed in turn, its arrays' room kept
};

std::optional<MftRecord> TableReader::recordAt(std::uint64_t offset) {
    auto raw = readBytes(offset, geometry_.bytesPerRecord);
    if (!raw) return std::nullopt;
    if (applyFixups(*raw) != RecordState::Valid)
        return fail(TableRefusal::UnexpectedMft), std::nullopt;
    auto record = parseRecord(*raw, totalClusters_);
    if (!record) fail(TableRefusal::UnexpectedMft);
    return record;
}

// The table's runs: record 0's, then those of the extension records that hold the rest of its
// $DATA, in order of their first VCN, which must follow on from one another.
bool TableReader::readExtents(const MftRecord& zero) {
    const std::uint32_t cluster = geometry_.bytesPerCluster;
    const std::uint32_t recordSize = geometry_.bytesPerRecord;
    if (!zero.inUse || zero.dataStartVcn != 0 || zero.dataRuns.empty() || !zero.dataSize ||
        *zero.dataSize < 16ull * recordSize)
        return fail(TableRefusal::UnexpectedMft), false;
    mft_.runs = zero.dataRuns;
    std::vector<ListedAttribute> list = zero.attributeList;
    if (!zero.attributeListRuns.empty()) {
        // A list too long for record 0: read it from its clusters, once they are known to hold
        // it.
        const Extents listExtents{zero.attributeListRuns};
        const auto listClusters = clustersOnDisk(listExtents.runs, totalClusters_);
        if (zero.attributeListSize > kMostAttributeList || !listClusters ||
            zero.attributeListSize > *listClusters * cluster)
            return fail(TableRefusal::ClaimBeyondVolume), false;
        std::vector<std::byte> value;
        value.reserve(static_cast<std::size_t>(zero.attributeListSize));
        for (std::uint64_t at = 0; at < zero.attributeListSize; at += cluster) {
            const auto offset = listExtents.volumeOffset(at, cluster);
            if (!offset) return fail(TableRefusal::UnexpectedMft), false;
            auto bytes = readBytes(*offset, cluster);
            if (!bytes) return false;
            value.insert(value.end(), bytes->begin(), bytes->end());
        }
        value.resize(zero.attributeListSize);
        auto entries = parseAttributeList(value);
        if (!entries) return fail(TableRefusal::UnexpectedMft), false;
        list = std::move(*entries);
    }
    std::map<std::uint64_t, std::uint64_t> parts;  // first VCN -> holding record
    for (const ListedAttribute& entry : list)
        if (entry.type == attribute::kData && !entry.named && recordNumberOf(entry.holder) != 0)
            parts.emplace(entry.startVcn, recordNumberOf(entry.holder));
    std::uint64_t nextVcn = 0;
    for (const Run& run : mft_.runs) nextVcn += run.clusters;
    for (const auto& [startVcn, holder] : parts) {
        const auto offset = mft_.volumeOffset(holder * recordSize, cluster);
        if (startVcn != nextVcn || !offset) return fail(TableRefusal::UnexpectedMft), false;
        const auto part = recordAt(*offset);
        if (!part) return false;
        if (part->dataStartVcn != startVcn || part->dataRuns.empty())
            return fail(TableRefusal::UnexpectedMft), false;
        for (const Run& run : part->dataRuns) {
            mft_.runs.push_back(run);
            nextVcn += run.clusters;
        }
    }
    for (const Run& run : mft_.runs)
        if (run.sparse()) return fail(TableRefusal::UnexpectedMft), false;
    // The table's size, and with it the count of records and of pieces to read, is at most the
    // volume's.
    const auto tableClusters = clustersOnDisk(mft_.runs, totalClusters_);
    if (!tableClusters) return fail(TableRefusal::ClaimBeyondVolume), false;
    if (*tableClusters * cluster < *zero.dataSize) return fail(TableRefusal::UnexpectedMft), false;
    return true;
}

bool TableReader::take(std::span<std::byte> raw, std::uint64_t number) {
    const RecordState state = applyFixups(raw);
    if (state == RecordState::Unused) return true;
    if (state == RecordState::Damaged) return fail(TableRefusal::DamagedRecord), false;
    MftRecord& record = record_;
    if (!parseRecord(raw, totalClusters_, record)) return fail(TableRefusal::DamagedRecord), false;
    // A volume marked dirty was not unmounted cleanly, or has an error to be checked: its records
    // may say what its folders no longer hold, and only the walk sees what the system shows.
    if (number == kVolumeRecord && record.base == 0 && record.volumeFlags &&
        (*record.volumeFlags & kVolumeDirty) != 0)
        return fail(TableRefusal::DirtyVolume), false;
    if (record.reparseCluster) {
        // The tag of a reparse point held out of its record: the first four bytes of its value.
        std::vector<std::byte>& sector = reparseSector_;
        sector.resize(geometry_.bytesPerSector);
        if (!read_(*record.reparseCluster * geometry_.bytesPerCluster, sector, std::nullopt))
            return fail(TableRefusal::ReadFailed), false;
        record.reparseTag = LittleEndian(sector).u32(0);
    }
    if (record.base != 0) {
        sink_.extension(record);
        return true;
    }
    if (number == kUpcaseRecord && record.dataStartVcn == 0) {
        upcase_.runs = record.dataRuns;
        upcaseSize_ = record.dataSize;
    }
    sink_.file(number, record);
    return true;
}

// The table of 65,536 upper-case code units, from its clusters, read whole sectors at a time.
bool TableReader::readUpcase(std::vector<char16_t>& upcase) {
    const std::uint64_t size = kUpcaseEntries * sizeof(char16_t);
    if (upcaseSize_ != size) return fail(TableRefusal::BadUpcase), false;
    std::vector<std::byte> value;
    value.reserve(size);
    for (const Run& run : upcase_.runs) {
        if (value.size() >= size) break;
        if (run.sparse()) return fail(TableRefusal::BadUpcase), false;
        const std::uint64_t left = size - value.size();
        const std::uint64_t sector = geometry_.bytesPerSector;
        const std::uint64_t length = std::min(run.clusters * geometry_.bytesPerCluster,
                                              (left + sector - 1) / sector * sector);
        auto bytes = readBytes(static_cast<std::uint64_t>(run.lcn) * geometry_.bytesPerCluster,
                               static_cast<std::size_t>(length));
        if (!bytes) return false;
        value.insert(value.end(), bytes->begin(),
                     bytes->begin() + static_cast<std::ptrdiff_t>(std::min(length, left)));
    }
    if (value.size() != size) return fail(TableRefusal::BadUpcase), false;
    const LittleEndian bytes(value);
    upcase.resize(kUpcaseEntries);
    for (std::size_t c = 0; c < kUpcaseEntries; ++c)
        upcase[c] = static_cast<char16_t>(bytes.u16(2 * c));
    for (char16_t c = u'a'; c <= u'z'; ++c)
        if (upcase[c] != c - u'a' + u'A' || upcase[c - u'a' + u'A'] != c - u'a' + u'A')
            return fail(TableRefusal::BadUpcase), false;
    return true;
}

bool TableReader::run(std::vector<char16_t>& upcase) {
    // 4096 bytes: whole sectors whatever the sector size.
    const auto boot = readBytes(0, 4096);
    if (!boot) return false;
    const auto geometry = readBootSector(*boot);
    if (!geometry) return fail(TableRefusal::NotNtfs), false;
    geometry_ = *geometry;
    const std::uint32_t cluster = geometry->bytesPerCluster;
    const std::uint32_t recordSize = geometry->bytesPerRecord;
    // The volume holds what its boot sector claims only where the device has its last sector.
    const std::uint32_t sector = geometry->bytesPerSector;
    if (geometry->totalSectors > UINT64_MAX / sector)
        return fail(TableRefusal::ClaimBeyondVolume), false;
    std::vector<std::byte> last(sector);
    if (!read_((geometry->totalSectors - 1) * sector, last, std::nullopt))
        return fail(TableRefusal::ClaimBeyondVolume), false;
    totalClusters_ = geometry->totalSectors * sector / cluster;

    const auto zero = recordAt(geometry->mftCluster * cluster);
    if (!zero || !readExtents(*zero)) return false;

    const std::uint64_t records = *zero->dataSize / recordSize;
    // The table's pieces in order, whole records each, so that the reader is told which comes next.
    std::vector<Piece> pieces;
    std::uint64_t listed = 0;
    for (const Run& run : mft_.runs) {
        std::uint64_t offset = static_cast<std::uint64_t>(run.lcn) * cluster;
        std::uint64_t left = run.clusters * cluster;
        while (left >= recordSize && listed < records) {
            const std::uint64_t wanted =
                std::min<std::uint64_t>({left, kChunk, (records - listed) * recordSize});
            const std::size_t length = static_cast<std::size_t>(wanted / recordSize * recordSize);
            pieces.push_back({offset, length});
            listed += length / recordSize;
            offset += length;
            left -= length;
        }
        // A record split between two extents: NTFS keeps each record whole in one.
        if (left != 0 && listed < records) return fail(TableRefusal::UnexpectedMft), false;
    }
    if (listed < records) return fail(TableRefusal::UnexpectedMft), false;

    sink_.begin(records);
    std::uint64_t number = 0;
    // One buffer for every read, so that a read's bytes take no more memory than one piece.
    std::vector<std::byte> bytes;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        bytes.resize(pieces[p].length);
        const auto next = p + 1 < pieces.size() ? std::optional(pieces[p + 1]) : std::nullopt;
        if (!read_(pieces[p].offset, bytes, next)) return fail(TableRefusal::ReadFailed), false;
        for (std::size_t at = 0; at < bytes.size(); at += recordSize, ++number)
            if (!take(std::span(bytes).subspan(at, recordSize), number)) return false;
    }
    return readUpcase(upcase);
}

}  // namespace

bool readMasterFileTable(const VolumeReader& read, TableSink& sink, std::vector<char16_t>& upcase,
                         TableRefusal& refusal) {
    return TableReader(read, sink, refusal).run(upcase);
}

}  // namespace kelmora::platform::win32::ntfs
