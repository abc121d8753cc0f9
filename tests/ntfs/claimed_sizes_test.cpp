// Volumes whose boot sector or table claims more than the device holds, laid out in memory to
// NTFS's published format: 1 MiB of 4 KiB clusters, 1 KiB records, the table at cluster 4.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/ntfs/FolderTree.h"

namespace kelmora::platform::win32::ntfs {
namespace {

constexpr std::size_t kVolume = 1u << 20, kCluster = 4096, kRecord = 1024, kMft = 4;

struct Claims {
    std::uint64_t sectors = kVolume / 512 - 1;    // the boot sector's, one short as mkntfs writes
    std::vector<ntfs::Run> table = {{kMft, 64}};  // record 0's $DATA
    std::uint64_t tableSize = 64 * kCluster;
    std::vector<ntfs::Run> list;  // a non-resident $ATTRIBUTE_LIST in record 0, when any
    std::uint64_t listSize = 0;
};

template <typename T>
void put(std::vector<std::byte>& at, std::size_t offset, T value) {
    std::memcpy(at.data() + offset, &value, sizeof value);
}

// A non-resident attribute of `type` at `at` of record 0, its runs 8-byte fields each; its length.
std::size_t nonResident(std::vector<std::byte>& image, std::size_t at, std::uint32_t type,
                        const std::vector<ntfs::Run>& runs, std::uint64_t size) {
    std::size_t end = at + 0x40;
    std::int64_t previous = 0;
    for (const ntfs::Run& run : runs) {
        image[end] = std::byte{0x88};
        put(image, end + 1, run.clusters);
        put(image, end + 9, run.lcn - previous);
        previous = run.lcn;
        end += 17;
    }
    const std::size_t length = (end + 1 - at + 7) / 8 * 8;
    put(image, at, type);
    put(image, at + 4, static_cast<std::uint32_t>(length));
    image[at + 8] = std::byte{1};
    put(image, at + 0x20, std::uint16_t{0x40});
    put(image, at + 0x30, size);
    return length;
}

std::vector<std::byte> volume(const Claims& claims) {
    std::vector<std::byte> image(kVolume);
    std::memcpy(image.data() + 3, "NTFS    ", 8);
    put(image, 0x0B, std::uint16_t{512});
    image[0x0D] = std::byte{kCluster / 512};
    image[0x40] = std::byte{0xF6};  // 2^10 bytes a record
    put(image, 0x28, claims.sectors);
    put(image, 0x30, std::uint64_t{kMft});
    put(image, 0x1FE, std::uint16_t{0xAA55});
    const std::size_t zero = kMft * kCluster;
    std::memcpy(image.data() + zero, "FILE", 4);
    put(image, zero + 0x04, std::uint16_t{0x30});  // the update sequence: 1, then the saved words
    put(image, zero + 0x06, std::uint16_t{3});
    put(image, zero + 0x30, std::uint16_t{1});
    put(image, zero + 0x14, std::uint16_t{0x38});
    put(image, zero + 0x16, std::uint16_t{1});  // in use
    std::size_t at = zero + 0x38;
    if (!claims.list.empty())
        at += nonResident(image, at, attribute::kAttributeList, claims.list, claims.listSize);
    at += nonResident(image, at, attribute::kData, claims.table, claims.tableSize);
    put(image, at, attribute::kEnd);
    put(image, zero + 0x18, static_cast<std::uint32_t>(at + 8 - zero));
    put(image, zero + 0x1C, static_cast<std::uint32_t>(kRecord));
    for (const std::size_t end : {510, 1022}) {  // each sector's end saved, the sequence put there
        std::memcpy(image.data() + zero + 0x30 + 2 * (end / 512 + 1), image.data() + zero + end, 2);
        put(image, zero + end, std::uint16_t{1});
    }
    return image;
}

// Each claim is refused before anything of its size is asked for or read; the honest volume is
// read to its end (where it has no $UpCase).
TEST(NtfsClaimedSizes, AreRefusedBeforeAnythingOfThatSizeIsAllocatedOrRead) {
    constexpr std::uint64_t kSectors = kVolume / 512 - 1;
    const std::vector<ntfs::Run> again(40, {kMft, 250});
    const struct {
        const char* what;
        Claims claims;
        TableRefusal refusal;
    } rows[] = {
        {"an honest volume", {}, TableRefusal::BadUpcase},
        {"2^40 sectors and 2^32 records",
         {1ull << 40, {{kMft, 1ull << 30}}, 1ull << 42, {}, 0},
         TableRefusal::ClaimBeyondVolume},
        {"a table of 40 MiB whose runs claim the same clusters again",
         {kSectors, again, 40 * 250 * kCluster, {}, 0},
         TableRefusal::ClaimBeyondVolume},
        {"an attribute list of 2^40 bytes",
         {kSectors, {{kMft, 64}}, 64 * kCluster, {{100, 128}}, 1ull << 40},
         TableRefusal::ClaimBeyondVolume},
    };
    for (const auto& row : rows) {
        const Claims& claims = row.claims;
        const auto image = volume(claims);
        std::uint64_t read = 0;
        TableRefusal refusal{};
        const auto tree = FolderTree::read(
            [&](std::uint64_t offset, std::span<std::byte> into, auto) {
                if (offset > image.size() || into.size() > image.size() - offset) return false;
                std::memcpy(into.data(), image.data() + offset, into.size());
                read += into.size();
                return true;
            },
            refusal);
        EXPECT_FALSE(tree) << row.what;
        EXPECT_EQ(refusal, row.refusal) << row.what;
        EXPECT_LE(read, kVolume) << row.what;
    }
}

}  // namespace
}  // namespace kelmora::platform::win32::ntfs
