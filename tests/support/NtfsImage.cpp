// SPDX-License-Identifier: MIT
#include "tests/support/NtfsImage.h"

#include <bit>

namespace kelmora::test::ntfs {
namespace {

constexpr std::uint64_t kRoot = 5;

std::size_t align8(std::size_t size) { return (size + 7) / 8 * 8; }

Bytes header(std::uint32_t type, std::size_t headerSize, std::size_t valueSize) {
    Bytes attribute(align8(headerSize + valueSize));
    put(attribute, 0, type);
    put(attribute, 4, static_cast<std::uint32_t>(attribute.size()));
    put(attribute, 0x0A, static_cast<std::uint16_t>(headerSize));  // where a name would be
    return attribute;
}

// A count of `unit`s as the boot sector gives it: up to 128 itself, else the negated power of
// two, of units (`sectors` per cluster) or of bytes (a record smaller than a cluster).
std::uint8_t inUnits(std::uint32_t size, std::uint32_t unit, bool sectors) {
    if (size >= unit && size / unit <= 128) return static_cast<std::uint8_t>(size / unit);
    return static_cast<std::uint8_t>(256 - std::countr_zero(sectors ? size / unit : size));
}

}  // namespace

Bytes resident(std::uint32_t type, const Bytes& value) {
    Bytes attribute = header(type, 0x18, value.size());
    put(attribute, 0x10, static_cast<std::uint32_t>(value.size()));
    put(attribute, 0x14, std::uint16_t{0x18});
    std::memcpy(attribute.data() + 0x18, value.data(), value.size());
    return attribute;
}

Bytes nonResident(std::uint32_t type, const std::vector<Run>& runs, std::uint64_t size,
                  std::uint64_t startVcn, std::uint8_t compressionUnit) {
    const std::size_t at = compressionUnit ? 0x48 : 0x40;  // a compressed one has its packed size
    Bytes attribute = header(type, at, 17 * runs.size() + 1);
    attribute[8] = std::byte{1};
    put(attribute, 0x0C, static_cast<std::uint16_t>(compressionUnit ? 1 : 0));
    std::uint64_t clusters = 0;
    std::int64_t previous = 0;
    std::size_t end = at;
    for (const Run& run : runs) {
        attribute[end] = run.sparse() ? std::byte{0x08} : std::byte{0x88};
        put(attribute, end + 1, run.clusters);
        if (!run.sparse()) put(attribute, end + 9, run.lcn - previous), previous = run.lcn;
        end += run.sparse() ? 9 : 17;
        clusters += run.clusters;
    }
    put(attribute, 0x10, startVcn);
    put(attribute, 0x18, startVcn + clusters - 1);
    put(attribute, 0x20, static_cast<std::uint16_t>(at));
    attribute[0x22] = std::byte{compressionUnit};
    for (const std::size_t field : {0x28, 0x30, 0x38}) put(attribute, field, size);
    return attribute;
}

Bytes standardInformation(std::uint32_t attributes) {
    Bytes value(0x48);
    put(value, 0x20, attributes);
    return resident(0x10, value);
}

Bytes fileName(std::uint64_t parent, std::u16string_view name, std::uint8_t space) {
    Bytes value(0x42 + 2 * name.size());
    put(value, 0, parent);
    value[0x40] = static_cast<std::byte>(name.size());
    value[0x41] = static_cast<std::byte>(space);
    std::memcpy(value.data() + 0x42, name.data(), 2 * name.size());
    return resident(0x30, value);
}

Bytes reparsePoint(std::uint32_t tag) {
    Bytes value(8);
    put(value, 0, tag);
    return resident(0xC0, value);
}

Bytes listed(std::uint32_t type, std::uint64_t startVcn, std::uint64_t holder) {
    Bytes entry(0x20);
    put(entry, 0, type);
    put(entry, 4, std::uint16_t{0x20});
    entry[7] = std::byte{0x1A};
    put(entry, 8, startVcn);
    put(entry, 0x10, holder);
    return entry;
}

Image::Image(const Geometry& g) : geometry(g), bytes(g.clusters * g.cluster) {
    std::memcpy(bytes.data() + 3, "NTFS    ", 8);
    ntfs::put(bytes, 0x0B, static_cast<std::uint16_t>(g.sector));
    bytes[0x0D] = std::byte{inUnits(g.cluster, g.sector, true)};
    ntfs::put(bytes, 0x28, bytes.size() / g.sector - 1);  // the last sector keeps a boot sector
    bytes[0x40] = std::byte{inUnits(g.record, g.cluster, false)};
    ntfs::put(bytes, 0x1FE, std::uint16_t{0xAA55});

    // The table's extents, each of whole records, a cluster apart and in reverse order on disk.
    const std::uint64_t clusters = (g.records * g.record + g.cluster - 1) / g.cluster;
    const std::uint64_t each = clusters / g.mftExtents;
    for (std::size_t i = g.mftExtents; i-- > 0;) {
        const std::uint64_t length = i + 1 < g.mftExtents ? each : clusters - i * each;
        mft.insert(mft.begin(), Run{static_cast<std::int64_t>(allocate(length)), length});
        allocate(1);
    }
    ntfs::put(bytes, 0x30, static_cast<std::uint64_t>(mft[0].lcn));
    Record zero{{standardInformation(6)}};
    const std::uint64_t size = g.records * g.record;
    if (g.mftExtents < 3) {
        zero.attributes.push_back(nonResident(0x80, mft, size));
    } else {
        // Record 0 holds the first extent; record 15 the second, record 14 the rest, so that
        // the holders are in neither the order of their numbers nor that of the table.
        const std::vector<Run> second{mft[1]}, rest(mft.begin() + 2, mft.end());
        Bytes list = listed(0x10, 0, 0);
        for (const auto& [vcn, holder] :
             {std::pair<std::uint64_t, std::uint64_t>{0, 0}, {each, 15}, {2 * each, 14}}) {
            const Bytes entry = listed(0x80, vcn, reference(holder, holder ? holder : 1));
            list.insert(list.end(), entry.begin(), entry.end());
        }
        zero.attributes.push_back(resident(0x20, list));
        zero.attributes.push_back(nonResident(0x80, {mft[0]}, size));
        put(15, {{nonResident(0x80, second, size, each)}, false, reference(0, 1)});
        put(14, {{nonResident(0x80, rest, size, 2 * each)}, false, reference(0, 1)});
    }
    put(0, zero);

    Bytes volume(12);
    volume[8] = std::byte{3};
    volume[9] = std::byte{1};
    ntfs::put(volume, 0x0A, g.volumeFlags);
    put(3, {{standardInformation(6), resident(0x70, volume)}});
    put(kRoot, {{standardInformation(6), fileName(reference(kRoot, kRoot), u".", 3)}, true});

    // $UpCase: every code unit itself, "a" to "z" as "A" to "Z".
    const std::uint64_t upcaseSize = 65536 * 2;
    const std::uint64_t upcaseClusters = (upcaseSize + g.cluster - 1) / g.cluster;
    const std::uint64_t upcase = allocate(upcaseClusters);
    for (std::uint32_t c = 0; c < 65536; ++c)
        ntfs::put(bytes, upcase * g.cluster + 2 * c,
                  static_cast<std::uint16_t>(c >= 'a' && c <= 'z' ? c - 32 : c));
    put(10,
        {{standardInformation(6),
          nonResident(0x80, {{static_cast<std::int64_t>(upcase), upcaseClusters}}, upcaseSize)}});
}

std::uint64_t Image::allocate(std::uint64_t count) {
    const std::uint64_t first = next_;
    next_ += count;
    return first;
}

void Image::put(std::uint64_t number, const Record& record) {
    const std::uint32_t size = geometry.record;
    std::uint64_t vcn = number * size / geometry.cluster, offset = 0;
    for (const Run& run : mft) {
        if (vcn < run.clusters) {
            offset = (run.lcn + vcn) * geometry.cluster + number * size % geometry.cluster;
            break;
        }
        vcn -= run.clusters;
    }
    Bytes raw(size);
    std::memcpy(raw.data(), "FILE", 4);
    const std::uint16_t strides = static_cast<std::uint16_t>(size / 512 + 1);
    ntfs::put(raw, 4, std::uint16_t{0x30});
    ntfs::put(raw, 6, strides);
    ntfs::put(raw, 0x10, static_cast<std::uint16_t>(number ? number : 1));
    std::size_t at = align8(0x30 + 2 * strides);
    ntfs::put(raw, 0x14, static_cast<std::uint16_t>(at));
    ntfs::put(raw, 0x16,
              static_cast<std::uint16_t>((record.inUse ? 1 : 0) | (record.folder ? 2 : 0)));
    ntfs::put(raw, 0x1C, size);
    ntfs::put(raw, 0x20, record.base);
    for (const Bytes& attribute : record.attributes) {
        std::memcpy(raw.data() + at, attribute.data(), attribute.size());
        at += attribute.size();
    }
    ntfs::put(raw, at, std::uint32_t{0xFFFFFFFF});
    ntfs::put(raw, 0x18, static_cast<std::uint32_t>(at + 8));
    // The update sequence: 1 at the end of each 512 bytes, what was there kept after it.
    ntfs::put(raw, 0x30, std::uint16_t{1});
    for (std::size_t i = 1; i < strides; ++i) {
        std::memcpy(raw.data() + 0x30 + 2 * i, raw.data() + i * 512 - 2, 2);
        ntfs::put(raw, i * 512 - 2, std::uint16_t{1});
    }
    std::memcpy(bytes.data() + offset, raw.data(), size);
}

}  // namespace kelmora::test::ntfs
