#include "platform/win32/ntfs/MasterFileTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/VolumeTable.h"
#include "platform/win32/Win32FileSystem.h"
#include "tests/support/ListedFileOf.h"
#include "tests/support/ScanTree.h"
#include "tests/win32/WineHost.h"

namespace kelmora {
namespace {

using namespace platform::win32::ntfs;

// The volume that scripts/ntfs-test-volume.sh made (KELMORA_TEST_NTFS_IMAGE, its Unix path), read
// through a handle on the image file as the table reader reads a volume.
class NtfsVolume : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto image = test::environmentVariable(L"KELMORA_TEST_NTFS_IMAGE");
        if (!image) GTEST_SKIP() << "no NTFS volume made for the table tests";
        const auto path = test::windowsPathOf(test::utf8(*image));
        ASSERT_TRUE(path);
        image_ = CreateFileW(path->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             0, nullptr);
        ASSERT_NE(image_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (image_ != INVALID_HANDLE_VALUE) CloseHandle(image_);
    }

    bool readImage(std::uint64_t offset, std::span<std::byte> into) const {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        return ReadFile(image_, into.data(), static_cast<DWORD>(into.size()), &got, &at) &&
               got == into.size();
    }

    HANDLE image_ = INVALID_HANDLE_VALUE;
};

// A name as the walk would see it: DOS-only names are no entry of their own.
bool listedName(const FileName& name) { return name.space != NameSpace::Dos; }

TEST_F(NtfsVolume, ReadsEveryNameSizeAndKindThatTheVolumeHolds) {
    TableRefusal refusal{};
    const auto table = readMasterFileTable(
        [this](std::uint64_t offset, std::span<std::byte> into) { return readImage(offset, into); },
        refusal);
    ASSERT_TRUE(table) << static_cast<int>(refusal);
    EXPECT_EQ(table->geometry.bytesPerRecord, 1024u);

    // Each file by its path from the root folder (record 5), through the parent references.
    std::map<std::u16string, const TableFile*> byPath;
    std::map<std::uint64_t, const TableFile*> byNumber;
    for (const TableFile& file : table->files) byNumber[file.number] = &file;
    const auto pathOf = [&](const FileName& name) {
        std::u16string path = name.name;
        for (std::uint64_t parent = recordNumberOf(name.parent); parent != 5;) {
            const TableFile* up = byNumber.count(parent) ? byNumber[parent] : nullptr;
            if (!up || up->names.empty()) return std::u16string(u"?");
            path = up->names.front().name + u"\\" + path;
            parent = recordNumberOf(up->names.front().parent);
        }
        return path;
    };
    std::size_t inMany = 0;
    for (const TableFile& file : table->files)
        for (const FileName& name : file.names) {
            if (!listedName(name) || file.number < 16) continue;
            byPath[pathOf(name)] = &file;
            const TableFile* parent = byNumber[recordNumberOf(name.parent)];
            if (parent && parent->names.front().name == u"many") ++inMany;
        }
    EXPECT_EQ(inMany, 600u) << "a folder whose index spills into index allocation";

    struct Planted {
        const char16_t* path;
        std::uint64_t size;
    };
    for (const Planted& p : {Planted{u"small.bak", 10},
                             {u"deep\\a\\b\\c\\leaf.tmp", 151884},
                             {u"sparse.old", 3ull << 30},
                             {u"streamed.chk", 5},
                             {u"many\\f0599.tmp", 1},
                             {u"links\\listed.tmp", 1}}) {
        ASSERT_TRUE(byPath.count(p.path)) << test::utf8(
            std::wstring(p.path, p.path + std::char_traits<char16_t>::length(p.path)));
        EXPECT_EQ(byPath[p.path]->size, p.size);
        EXPECT_FALSE(byPath[p.path]->folder);
    }
    EXPECT_TRUE(byPath[u"deep\\a\\b\\c"]->folder);
    EXPECT_FALSE(byPath.count(u"gone.tmp")) << "a deleted file";
    // A hard link across folders: one record, a name in each.
    EXPECT_EQ(byPath[u"deep\\link.tmp"], byPath[u"many\\f0001.tmp"]);
    // A Win32 name with its DOS name beside it; only the long one is listed.
    const TableFile* report = byPath[u"report.tmpfile"];
    ASSERT_TRUE(report);
    EXPECT_EQ(report->names.size(), 2u);
    EXPECT_FALSE(byPath.count(u"REPORT~1.TMP"));
    EXPECT_EQ(report->attributes & 0x26u, 0x20u);
    EXPECT_EQ(byPath[u"hidden.syd"]->attributes & 0x26u, 0x26u);
    ASSERT_TRUE(byPath[u"junction"]->reparseTag);
    EXPECT_EQ(*byPath[u"junction"]->reparseTag, 0xA0000003u);
    EXPECT_FALSE(byPath[u"small.bak"]->reparseTag);
    // 41 names, most of them in extension records that $ATTRIBUTE_LIST names.
    EXPECT_EQ(byPath[u"links\\listed.tmp"]->names.size(), 41u);
}

// Runlists as a fragmented table or file has them: starts relative to the run before (also
// backwards), holes, and the malformed lists that must refuse.
TEST(NtfsRunlist, DecodesRelativeStartsAndHolesAndRefusesMalformedLists) {
    const auto decode = [](std::initializer_list<int> bytes) {
        std::vector<std::byte> list;
        for (int b : bytes) list.push_back(static_cast<std::byte>(b));
        return decodeRunlist(list, 100000);
    };
    // 0x18 clusters at 0x5634, 0x10 at 0x5634 - 0x34 (a backward start), a hole of 0x20, 0x08 at
    // 0x5600 + 0x100 (the hole moves no start).
    const auto runs = decode(
        {0x21, 0x18, 0x34, 0x56, 0x11, 0x10, 0xCC, 0x01, 0x20, 0x21, 0x08, 0x00, 0x01, 0x00});
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 4u);
    EXPECT_EQ((*runs)[0].lcn, 0x5634);
    EXPECT_EQ((*runs)[1].lcn, 0x5600);
    EXPECT_TRUE((*runs)[2].sparse());
    EXPECT_EQ((*runs)[2].clusters, 0x20u);
    EXPECT_EQ((*runs)[3].lcn, 0x5700);
    for (const auto& malformed : {std::initializer_list<int>{0x21, 0x18, 0x34},  // cut short
                                  {0x11, 0x00, 0x05, 0x00},                      // no clusters
                                  {0x11, 0x08, 0xF0, 0x00},                      // before 0
                                  {0x31, 0x08, 0xA0, 0x86, 0x01, 0x00},          // past the end
                                  {0x11, 0x08, 0x05}}) {                         // no end mark
        EXPECT_FALSE(decode(malformed));
    }
}

// One damaged record refuses the whole table, as does anything but NTFS and a failed read: the
// caller then walks the volume.
TEST_F(NtfsVolume, ADamagedRecordAnotherFileSystemOrAFailedReadRefusesTheWholeTable) {
    TableRefusal refusal{};
    std::vector<std::byte> boot(512);
    ASSERT_TRUE(readImage(0, boot));
    const auto geometry = readBootSector(boot);
    ASSERT_TRUE(geometry);
    const std::uint64_t rootRecord =
        geometry->mftCluster * geometry->bytesPerCluster + 5 * geometry->bytesPerRecord;
    struct Fault {
        std::uint64_t offset;  // the byte of the volume that reads otherwise
        bool failRead;
        TableRefusal expected;
    };
    for (const Fault& fault : {
             Fault{rootRecord + 510, false, TableRefusal::DamagedRecord},   // torn sector end
             Fault{rootRecord + 0x19, false, TableRefusal::DamagedRecord},  // used size too big
             Fault{rootRecord + 1, false, TableRefusal::DamagedRecord},     // not "FILE"
             Fault{3, false, TableRefusal::NotNtfs},                        // "FAT32   ", say
             Fault{geometry->mftCluster * geometry->bytesPerCluster + 1, false,
                   TableRefusal::UnexpectedMft},
             Fault{rootRecord + 4096, true, TableRefusal::ReadFailed},
         }) {
        const auto table = readMasterFileTable(
            [&](std::uint64_t offset, std::span<std::byte> into) {
                if (!readImage(offset, into)) return false;
                if (fault.offset < offset || fault.offset >= offset + into.size()) return true;
                if (fault.failRead) return false;
                into[fault.offset - offset] ^= std::byte{0x5A};
                return true;
            },
            refusal);
        EXPECT_FALSE(table) << fault.offset;
        EXPECT_EQ(refusal, fault.expected) << fault.offset;
    }
}

// Drive E: of scripts/test-windows.sh: the same NTFS volume as a device (the image) and as a
// folder (an ntfs-3g mount), so that a scan from its table and a walk of its folders meet.
std::optional<std::wstring> ntfsDrive() {
    return test::environmentVariable(L"KELMORA_TEST_NTFS_DRIVE");
}

// A scan from the table lists exactly what the walk lists, in the walk's order, with the same
// sizes and identities, which are those the removal checks; any volume whose table cannot be had
// (no device to read, IDs without a reuse counter) is walked.
TEST(NtfsTableScan, ListsWhatTheWalkListsInItsOrderAndElseWalks) {
    const auto drive = ntfsDrive();
    if (!drive) GTEST_SKIP() << "no NTFS drive for the table scan";
    const auto none = [](const std::wstring&) { return false; };
    platform::win32::Win32FileSystem fromTable(none);
    platform::win32::Win32FileSystem walk(none,
                                          platform::win32::Win32FileSystem::TableUse::DiskOnly);
    // The table is read beside the walk and taken up between two folders once it is there: the
    // first pause waits for the read, so that the rest comes from the table.
    bool tableUsed = false;
    const auto table = test::scanTree(fromTable, *drive, [&](MainState&) {
        for (int i = 0; i < 500 && !fromTable.tableReadEnded(); ++i) Sleep(10);
        tableUsed |= fromTable.listsFromTable();
    });
    const auto walked = test::scanTree(walk, *drive);
    EXPECT_TRUE(tableUsed);
    EXPECT_EQ(table.relative, walked.relative);
    EXPECT_EQ(table.sizes, walked.sizes);
    ASSERT_EQ(table.rows.size(), walked.rows.size());
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        EXPECT_EQ(table.rows[i].file, walked.rows[i].file) << test::utf8(table.relative[i]);
        EXPECT_EQ(table.rows[i].folder, walked.rows[i].folder) << test::utf8(table.relative[i]);
    }
    EXPECT_GT(table.relative.size(), 600u);

    // A scan stopped in its first pause, while the table may still be read, ends, the read with it.
    const auto stopped = test::scanTree(fromTable, *drive, [](MainState& state) {
        state.Folders->Init();
        state.Spill.clear();
    });
    EXPECT_LT(stopped.relative.size(), table.relative.size());

    // Nothing to read as a table: no device (C: under Wine), a FAT volume's IDs.
    EXPECT_FALSE(platform::win32::VolumeTable::read(L"C:\\"));
    if (const auto fat = test::environmentVariable(L"KELMORA_TEST_FAT_DRIVE")) {
        EXPECT_FALSE(platform::win32::VolumeTable::read(*fat + L"\\"));
    }

    // A row from the table carries the identities that the removal reads through handles on the
    // same system (not removed here: the other tests read this volume's image meanwhile).
    const auto row = std::find(table.relative.begin(), table.relative.end(), L"small.bak");
    ASSERT_NE(row, table.relative.end());
    const platform::ListedFile onDisk = test::listedFileOf(*drive + L"\\small.bak");
    EXPECT_EQ(table.rows[row - table.relative.begin()].file, onDisk.file);
    EXPECT_EQ(table.rows[row - table.relative.begin()].folder, onDisk.folder);
}

}  // namespace
}  // namespace kelmora
