// SPDX-License-Identifier: MIT
#include "platform/win32/ntfs/MftRecord.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/ntfs/LittleEndian.h"

namespace kelmora::platform::win32::ntfs {
namespace {

constexpr std::size_t kStride = 512;  // the update sequence protects each 512 bytes
constexpr std::uint16_t kInUse = 0x0001;
constexpr std::uint16_t kFolder = 0x0002;

bool hasMagic(std::span<const std::byte> record, const char (&magic)[5]) {
    for (std::size_t i = 0; i < 4; ++i)
        if (static_cast<char>(record[i]) != magic[i]) return false;
    return true;
}

// UTF-16LE text into `text`, which on Windows (little-endian only) is its char16_t as it lies.
void utf16At(const LittleEndian& bytes, std::size_t offset, std::size_t chars,
             std::u16string& text) {
    text.resize(chars);
    std::memcpy(text.data(), bytes.slice(offset, 2 * chars).data(), 2 * chars);
}

// The parts of an attribute's header that every attribute has, and where its value lies.
struct AttributeHeader {
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    bool resident = true;
    bool named = false;
    // resident: the value's place in the record
    std::size_t valueOffset = 0;
    std::size_t valueLength = 0;
    // non-resident
    std::uint64_t startVcn = 0;
    std::uint64_t dataSize = 0;
    std::size_t runsOffset = 0;
};

std::optional<AttributeHeader> readHeader(const LittleEndian& bytes, std::size_t at,
                                          std::size_t used) {
    AttributeHeader header;
    header.type = bytes.u32(at);
    if (!bytes.fits(at, 0x18) || at + 0x18 > used) return std::nullopt;
    header.length = bytes.u32(at + 4);
    if (header.length < 0x18 || header.length > used - at) return std::nullopt;
    header.resident = bytes.u8(at + 8) == 0;
    const std::size_t nameChars = bytes.u8(at + 9);
    const std::size_t nameOffset = bytes.u16(at + 0x0A);
    header.named = nameChars > 0;
    if (header.named && nameOffset + 2 * nameChars > header.length) return std::nullopt;
    if (header.resident) {
        header.valueLength = bytes.u32(at + 0x10);
        const std::size_t offset = bytes.u16(at + 0x14);
        if (offset > header.length || header.valueLength > header.length - offset)
            return std::nullopt;
        header.valueOffset = at + offset;
    } else {
        if (header.length < 0x40) return std::nullopt;
        header.startVcn = bytes.u64(at + 0x10);
        const std::size_t runs = bytes.u16(at + 0x20);
        if (runs >= header.length) return std::nullopt;
        header.runsOffset = at + runs;
        header.dataSize = bytes.u64(at + 0x30);
    }
    return header;
}

}  // namespace

RecordState applyFixups(std::span<std::byte> record) {
    if (record.size() < kStride || record.size() % kStride != 0) return RecordState::Damaged;
    const bool zeros = std::all_of(record.begin(), record.begin() + 4,
                                   [](std::byte b) { return b == std::byte{0}; });
    if (zeros) return RecordState::Unused;
    if (!hasMagic(record, "FILE")) return RecordState::Damaged;
    const LittleEndian bytes(record);
    if ((bytes.u16(0x16) & kInUse) == 0) return RecordState::Unused;
    const std::size_t offset = bytes.u16(0x04);
    const std::size_t count = bytes.u16(0x06);
    if (count != record.size() / kStride + 1 || offset % 2 != 0 || offset + 2 * count > kStride - 2)
        return RecordState::Damaged;
    const std::uint16_t sequence = bytes.u16(offset);
    for (std::size_t i = 1; i < count; ++i) {
        const std::size_t end = i * kStride - 2;
        if (bytes.u16(end) != sequence) return RecordState::Damaged;  // torn: not written whole
        record[end] = record[offset + 2 * i];
        record[end + 1] = record[offset + 2 * i + 1];
    }
    return RecordState::Valid;
}

std::optional<MftRecord> parseRecord(std::span<const std::byte> raw, std::uint64_t totalClusters) {
    MftRecord record;
    if (!parseRecord(raw, totalClusters, record)) return std::nullopt;
    return record;
}

bool parseRecord(std::span<const std::byte> raw, std::uint64_t totalClusters, MftRecord& record) {
    const LittleEndian bytes(raw);
    if (!bytes.fits(0, 0x30)) return false;
    // Everything said again, the arrays' room (and the names' text) kept for the next record.
    std::size_t names = 0;
    record.attributes.reset();
    record.securityId = 0;
    record.dataSize.reset();
    record.dataStartVcn = 0;
    record.dataRuns.clear();
    record.reparseTag.reset();
    record.reparseCluster.reset();
    record.volumeFlags.reset();
    record.hasAttributeList = false;
    record.attributeList.clear();
    record.attributeListRuns.clear();
    record.attributeListSize = 0;
    record.sequence = bytes.u16(0x10);
    const std::uint16_t flags = bytes.u16(0x16);
    record.inUse = (flags & kInUse) != 0;
    record.folder = (flags & kFolder) != 0;
    record.base = bytes.u64(0x20);
    const std::size_t used = bytes.u32(0x18);
    std::size_t at = bytes.u16(0x14);
    if (used > raw.size() || at >= used) return false;

    bool ownDescriptor = false;
    while (true) {
        if (!bytes.fits(at, 4) || at + 4 > used) return false;  // no end marker
        if (bytes.u32(at) == attribute::kEnd) break;
        const auto header = readHeader(bytes, at, used);
        if (!header) return false;
        const auto runsOf = [&](const AttributeHeader& h) {
            return decodeRunlist(bytes.slice(h.runsOffset, at + h.length - h.runsOffset),
                                 totalClusters);
        };
        const std::size_t value = header->valueOffset;
        const std::size_t length = header->valueLength;
        switch (header->type) {
            case attribute::kStandardInformation:
                if (!header->resident || length < 0x24) return false;
                record.attributes = bytes.u32(value + 0x20);
                if (length >= 0x38 && !ownDescriptor) record.securityId = bytes.u32(value + 0x34);
                break;
            case attribute::kSecurityDescriptor:
                ownDescriptor = true;
                record.securityId = 0;
                break;
            case attribute::kFileName: {
                if (!header->resident || length < 0x42) return false;
                const std::size_t chars = bytes.u8(value + 0x40);
                const std::uint8_t space = bytes.u8(value + 0x41);
                if (0x42 + 2 * chars > length || space > 3) return false;
                if (names == record.names.size()) record.names.emplace_back();
                FileName& name = record.names[names++];
                name.parent = bytes.u64(value);
                name.space = static_cast<NameSpace>(space);
                utf16At(bytes, value + 0x42, chars, name.name);
                break;
            }
            case attribute::kData:
                if (header->named) break;  // a named stream is not the file's contents
                if (header->resident) {
                    record.dataSize = length;
                } else {
                    const auto runs = runsOf(*header);
                    if (!runs) return false;
                    if (header->startVcn == 0) record.dataSize = header->dataSize;
                    record.dataStartVcn = header->startVcn;
                    record.dataRuns = std::move(*runs);
                }
                break;
            case attribute::kReparsePoint:
                // A value held out of the record: its tag is read from its first cluster, when it
                // has one on disk. Until then 0 stands for "some reparse point", which the walk
                // treats as a link, never entered.
                record.reparseTag = header->resident && length >= 4 ? bytes.u32(value) : 0;
                if (!header->resident && header->startVcn == 0) {
                    const auto runs = runsOf(*header);
                    if (!runs) return false;
                    if (!runs->empty() && !runs->front().sparse() && header->dataSize >= 4)
                        record.reparseCluster = static_cast<std::uint64_t>(runs->front().lcn);
                }
                break;
            case attribute::kVolumeInformation:
                if (!header->resident || length < 0x0C) return false;
                record.volumeFlags = bytes.u16(value + 0x0A);
                break;
            case attribute::kAttributeList:
                record.hasAttributeList = true;
                if (header->resident) {
                    auto entries = parseAttributeList(bytes.slice(value, length));
                    if (!entries) return false;
                    record.attributeList = std::move(*entries);
                } else {
                    const auto runs = runsOf(*header);
                    if (!runs || header->startVcn != 0) return false;
                    record.attributeListRuns = std::move(*runs);
                    record.attributeListSize = header->dataSize;
                }
                break;
            default:
                break;
        }
        at += header->length;
    }
    record.names.resize(names);
    return true;
}

std::optional<std::vector<ListedAttribute>> parseAttributeList(std::span<const std::byte> value) {
    const LittleEndian bytes(value);
    std::vector<ListedAttribute> entries;
    for (std::size_t at = 0; at < value.size();) {
        if (!bytes.fits(at, 0x1A)) return std::nullopt;
        const std::size_t length = bytes.u16(at + 4);
        if (length < 0x1A || !bytes.fits(at, length)) return std::nullopt;
        entries.push_back(
            {bytes.u32(at), bytes.u64(at + 8), bytes.u64(at + 0x10), bytes.u8(at + 6) > 0});
        at += length;
    }
    return entries;
}

}  // namespace kelmora::platform::win32::ntfs
