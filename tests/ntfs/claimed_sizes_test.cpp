// SPDX-License-Identifier: MIT
// Volumes whose boot sector or table claims more than the device holds: 1 MiB of 4 KiB clusters,
// 1 KiB records (tests/support/NtfsImage.h), their claims put over the honest ones.
#include <gtest/gtest.h>

#include <optional>

#include "platform/win32/ntfs/FolderTree.h"
#include "tests/support/NtfsImage.h"

namespace kelmora::platform::win32::ntfs {
namespace {

using test::ntfs::Image;
using test::ntfs::nonResident;

struct Claims {
    std::uint64_t sectors = 0;  // the boot sector's, when not the volume's
    std::vector<Run> table;     // record 0's $DATA, when not the volume's
    std::uint64_t tableSize = 0;
    std::vector<Run> list;  // a non-resident $ATTRIBUTE_LIST in record 0, when any
    std::uint64_t listSize = 0;
};

// Each claim is refused before anything of its size is asked for or read; the honest volume is
// read.
TEST(NtfsClaimedSizes, AreRefusedBeforeAnythingOfThatSizeIsAllocatedOrRead) {
    const std::int64_t mft = Image({}).mft[0].lcn;
    const std::vector<ntfs::Run> again(40, {mft, 250});
    const struct {
        const char* what;
        Claims claims;
        std::optional<TableRefusal> refusal;
    } rows[] = {
        {"an honest volume", {}, std::nullopt},
        {"2^40 sectors and 2^32 records",
         {1ull << 40, {{mft, 1ull << 30}}, 1ull << 42, {}, 0},
         TableRefusal::ClaimBeyondVolume},
        {"a table of 40 MiB whose runs claim the same clusters again",
         {0, again, 40 * 250 * 4096, {}, 0},
         TableRefusal::ClaimBeyondVolume},
        {"an attribute list of 2^40 bytes",
         {0, {{mft, 16}}, 64 * 1024, {{100, 128}}, 1ull << 40},
         TableRefusal::ClaimBeyondVolume},
    };
    for (const auto& row : rows) {
        const Claims& claims = row.claims;
        Image image({});
        if (claims.sectors) test::ntfs::put(image.bytes, 0x28, claims.sectors);
        if (!claims.table.empty()) {
            Image::Record zero;
            if (!claims.list.empty())
                zero.attributes.push_back(nonResident(0x20, claims.list, claims.listSize));
            zero.attributes.push_back(nonResident(0x80, claims.table, claims.tableSize));
            image.put(0, zero);
        }
        std::uint64_t read = 0;
        TableRefusal refusal{};
        const auto tree = FolderTree::read(image.reader(&read), refusal);
        EXPECT_EQ(tree.has_value(), !row.refusal) << row.what;
        if (row.refusal) {
            EXPECT_EQ(refusal, *row.refusal) << row.what;
        }
        EXPECT_LE(read, image.bytes.size()) << row.what;
    }
}

}  // namespace
}  // namespace kelmora::platform::win32::ntfs
