// SPDX-License-Identifier: MIT
#pragma once

// NTFS volumes laid out in memory to the published on-disk format, as far as the master file
// table reader reads them: the boot sector, the table in extents of its own, $Volume, the root
// folder, $UpCase and whatever records a test puts. Everything else reads as zeros.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "platform/win32/ntfs/Runlist.h"

namespace kelmora::test::ntfs {

using platform::win32::ntfs::Run;
using Bytes = std::vector<std::byte>;

struct Geometry {
    std::uint32_t sector = 512, cluster = 4096, record = 1024;
    std::uint64_t clusters = 256;  // the volume's size
    std::uint64_t records = 64;    // of the table
    std::size_t mftExtents = 1;    // the table's clusters in that many extents, laid out backwards
    std::uint16_t volumeFlags = 0;
};

template <typename T>
void put(Bytes& at, std::size_t offset, T value) {
    std::memcpy(at.data() + offset, &value, sizeof value);
}

// Attributes, with their headers, as a record holds them.
Bytes resident(std::uint32_t type, const Bytes& value);
// Runs as 8-byte fields (a hole without a start); `compressionUnit` as 2 to its power clusters.
Bytes nonResident(std::uint32_t type, const std::vector<Run>& runs, std::uint64_t size,
                  std::uint64_t startVcn = 0, std::uint8_t compressionUnit = 0);
Bytes standardInformation(std::uint32_t attributes);
Bytes fileName(std::uint64_t parent, std::u16string_view name, std::uint8_t space = 1);
Bytes reparsePoint(std::uint32_t tag);
// An $ATTRIBUTE_LIST value's entry: `type` from cluster `startVcn` on, held by `holder`.
Bytes listed(std::uint32_t type, std::uint64_t startVcn, std::uint64_t holder);
constexpr std::uint64_t reference(std::uint64_t record, std::uint64_t sequence) {
    return record | (sequence << 48);
}

class Image {
  public:
    explicit Image(const Geometry& geometry);

    // Record `number` of the table, in use (a folder with `folder`), its attributes in order, its
    // sequence number `number` (as NTFS gives its own files), its update sequence applied.
    struct Record {
        std::vector<Bytes> attributes;
        bool folder = false;
        std::uint64_t base = 0;  // an extension record's base record
        bool inUse = true;
    };
    void put(std::uint64_t number, const Record& record);
    // `count` clusters not used before.
    std::uint64_t allocate(std::uint64_t count);
    // The reader over the volume's bytes, counting what it reads into `read` when given.
    auto reader(std::uint64_t* read = nullptr) const {
        return [this, read](std::uint64_t offset, std::span<std::byte> into, auto) {
            if (offset > bytes.size() || into.size() > bytes.size() - offset) return false;
            std::memcpy(into.data(), bytes.data() + offset, into.size());
            if (read) *read += into.size();
            return true;
        };
    }

    Geometry geometry;
    std::vector<Run> mft;  // the table's extents, in order of its clusters
    Bytes bytes;

  private:
    std::uint64_t next_ = 1;
};

}  // namespace kelmora::test::ntfs
