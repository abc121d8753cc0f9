#include "platform/win32/ntfs/MasterFileTable.h"

#include <algorithm>
#include <map>

namespace kelmora::platform::win32::ntfs {
namespace {

constexpr std::size_t kChunk = 4u << 20;  // bytes per sequential read of the table

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
    TableReader(const VolumeReader& read, TableRefusal& refusal) : read_(read), refusal_(refusal) {}

    std::optional<MasterFileTable> run();

  private:
    std::optional<std::vector<std::byte>> readBytes(std::uint64_t offset, std::size_t length) {
        std::vector<std::byte> bytes(length);
        if (!read_(offset, bytes)) return fail(TableRefusal::ReadFailed), std::nullopt;
        return bytes;
    }
    void fail(TableRefusal why) { refusal_ = why; }
    std::optional<MftRecord> recordAt(std::uint64_t offset);
    bool readExtents(const MftRecord& zero);
    bool take(std::span<std::byte> raw, std::uint64_t number);

    const VolumeReader& read_;
    TableRefusal& refusal_;
    MasterFileTable table_;
    Extents mft_;
    std::uint64_t totalClusters_ = 0;
    std::vector<MftRecord> extensions_;
};

std::optional<MftRecord> TableReader::recordAt(std::uint64_t offset) {
    auto raw = readBytes(offset, table_.geometry.bytesPerRecord);
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
    const std::uint32_t cluster = table_.geometry.bytesPerCluster;
    const std::uint32_t recordSize = table_.geometry.bytesPerRecord;
    if (!zero.inUse || zero.dataStartVcn != 0 || zero.dataRuns.empty() || !zero.dataSize ||
        *zero.dataSize < 16ull * recordSize)
        return fail(TableRefusal::UnexpectedMft), false;
    mft_.runs = zero.dataRuns;
    std::vector<ListedAttribute> list = zero.attributeList;
    if (!zero.attributeListRuns.empty()) {
        // A list too long for record 0: read it from its clusters.
        const Extents listExtents{zero.attributeListRuns};
        std::vector<std::byte> value;
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
    if (nextVcn * cluster < *zero.dataSize) return fail(TableRefusal::UnexpectedMft), false;
    for (const Run& run : mft_.runs)
        if (run.sparse()) return fail(TableRefusal::UnexpectedMft), false;
    return true;
}

bool TableReader::take(std::span<std::byte> raw, std::uint64_t number) {
    const RecordState state = applyFixups(raw);
    if (state == RecordState::Unused) return true;
    if (state == RecordState::Damaged) return fail(TableRefusal::DamagedRecord), false;
    auto record = parseRecord(raw, totalClusters_);
    if (!record) return fail(TableRefusal::DamagedRecord), false;
    if (record->base != 0) {
        extensions_.push_back(std::move(*record));
        return true;
    }
    TableFile file;
    file.number = number;
    file.sequence = record->sequence;
    file.folder = record->folder;
    file.attributes = record->attributes.value_or(0);
    file.size = record->dataSize.value_or(0);
    file.reparseTag = record->reparseTag;
    file.names = std::move(record->names);
    table_.files.push_back(std::move(file));
    return true;
}

std::optional<MasterFileTable> TableReader::run() {
    // 4096 bytes: whole sectors whatever the sector size.
    const auto boot = readBytes(0, 4096);
    if (!boot) return std::nullopt;
    const auto geometry = readBootSector(*boot);
    if (!geometry) return fail(TableRefusal::NotNtfs), std::nullopt;
    table_.geometry = *geometry;
    const std::uint32_t cluster = geometry->bytesPerCluster;
    const std::uint32_t recordSize = geometry->bytesPerRecord;
    totalClusters_ = geometry->totalSectors * geometry->bytesPerSector / cluster;

    const auto zero = recordAt(geometry->mftCluster * cluster);
    if (!zero || !readExtents(*zero)) return std::nullopt;

    const std::uint64_t records = *zero->dataSize / recordSize;
    std::uint64_t number = 0;
    for (const Run& run : mft_.runs) {
        std::uint64_t offset = static_cast<std::uint64_t>(run.lcn) * cluster;
        std::uint64_t left = run.clusters * cluster;
        while (left >= recordSize && number < records) {
            const std::uint64_t wanted =
                std::min<std::uint64_t>({left, kChunk, (records - number) * recordSize});
            const std::size_t length = static_cast<std::size_t>(wanted / recordSize * recordSize);
            auto bytes = readBytes(offset, length);
            if (!bytes) return std::nullopt;
            for (std::size_t at = 0; at < length; at += recordSize, ++number)
                if (!take(std::span(*bytes).subspan(at, recordSize), number)) return std::nullopt;
            offset += length;
            left -= length;
        }
    }
    if (number < records) return fail(TableRefusal::UnexpectedMft), std::nullopt;

    // Extension records join their base, found by number (files are in number order).
    for (MftRecord& extension : extensions_) {
        const std::uint64_t baseNumber = recordNumberOf(extension.base);
        const auto base = std::lower_bound(
            table_.files.begin(), table_.files.end(), baseNumber,
            [](const TableFile& file, std::uint64_t n) { return file.number < n; });
        if (base == table_.files.end() || base->number != baseNumber ||
            base->sequence != sequenceOf(extension.base))
            continue;
        for (FileName& name : extension.names) base->names.push_back(std::move(name));
        if (extension.dataSize && extension.dataStartVcn == 0) base->size = *extension.dataSize;
        if (extension.reparseTag) base->reparseTag = extension.reparseTag;
        if (extension.attributes) base->attributes = *extension.attributes;
    }
    extensions_.clear();
    return std::move(table_);
}

}  // namespace

std::optional<MasterFileTable> readMasterFileTable(const VolumeReader& read,
                                                   TableRefusal& refusal) {
    return TableReader(read, refusal).run();
}

}  // namespace kelmora::platform::win32::ntfs
