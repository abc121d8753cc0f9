// SPDX-License-Identifier: MIT
#include "platform/win32/ntfs/FolderTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/DeviceReader.h"
#include "platform/win32/ListableFolders.h"
#include "platform/win32/VolumeTable.h"
#include "platform/win32/Win32FileRemover.h"
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

TEST_F(NtfsVolume, ReadsEveryNameSizeAndKindThatTheVolumeHolds) {
    TableRefusal refusal{};
    const auto tree = FolderTree::read([this](std::uint64_t offset, std::span<std::byte> into,
                                              auto) { return readImage(offset, into); },
                                       refusal);
    ASSERT_TRUE(tree) << static_cast<int>(refusal);

    // Each listed name by its path from the root folder, through the folders' entries.
    std::map<std::u16string, std::uint32_t> indexOf;
    std::map<std::uint32_t, int> names;
    const auto walk = [&](auto& self, std::uint32_t folder, const std::u16string& path) -> void {
        for (const FolderTree::Entry& entry : tree->entriesOf(folder)) {
            const std::u16string at = path + std::u16string(tree->name(entry));
            indexOf[at] = entry.file;
            ++names[entry.file];
            if (tree->file(entry.file).attributes & 0x10) self(self, entry.file, at + u"\\");
        }
    };
    walk(walk, *tree->fileOfRecord(FolderTree::kRootRecord), u"");
    std::map<std::u16string, const FolderTree::File*> byPath;
    for (const auto& [path, index] : indexOf) byPath[path] = &tree->file(index);
    EXPECT_EQ(tree->entriesOf(indexOf[u"many"]).size(), 600u)
        << "a folder whose index spills into index allocation";

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
        EXPECT_EQ(byPath[p.path]->attributes & 0x10, 0u);
    }
    EXPECT_NE(byPath[u"deep\\a\\b\\c"]->attributes & 0x10, 0u);
    EXPECT_FALSE(byPath.count(u"gone.tmp")) << "a deleted file";
    // A hard link across folders: one file, a name in each.
    EXPECT_EQ(byPath[u"deep\\link.tmp"], byPath[u"many\\f0001.tmp"]);
    // A Win32 name with its DOS name beside it; only the long one is listed.
    ASSERT_TRUE(byPath.count(u"report.tmpfile"));
    EXPECT_FALSE(byPath.count(u"REPORT~1.TMP"));
    EXPECT_EQ(byPath[u"report.tmpfile"]->attributes & 0x26u, 0x20u);
    EXPECT_EQ(byPath[u"hidden.syd"]->attributes & 0x26u, 0x26u);
    EXPECT_EQ(byPath[u"junction"]->reparseTag, 0xA0000003u);
    EXPECT_EQ(byPath[u"small.bak"]->reparseTag, 0u);
    // 41 names, most of them in extension records that $ATTRIBUTE_LIST names.
    EXPECT_EQ(names[indexOf[u"links\\listed.tmp"]], 41);
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
    // The entry of "a" in the volume's upper-case table (record 10's $DATA).
    std::vector<std::byte> upcaseRecord(geometry->bytesPerRecord);
    ASSERT_TRUE(readImage(rootRecord + 5 * geometry->bytesPerRecord, upcaseRecord));
    ASSERT_EQ(applyFixups(upcaseRecord), RecordState::Valid);
    const auto upcase = parseRecord(upcaseRecord, geometry->totalSectors);
    ASSERT_TRUE(upcase && !upcase->dataRuns.empty());
    const std::uint64_t upcaseOfA = upcase->dataRuns[0].lcn * geometry->bytesPerCluster + 2 * 'a';
    for (const Fault& fault : {
             Fault{rootRecord + 510, false, TableRefusal::DamagedRecord},   // torn sector end
             Fault{rootRecord + 0x19, false, TableRefusal::DamagedRecord},  // used size too big
             Fault{rootRecord + 1, false, TableRefusal::DamagedRecord},     // not "FILE"
             Fault{3, false, TableRefusal::NotNtfs},                        // "FAT32   ", say
             Fault{geometry->mftCluster * geometry->bytesPerCluster + 1, false,
                   TableRefusal::UnexpectedMft},
             Fault{rootRecord + 4096, true, TableRefusal::ReadFailed},
             Fault{upcaseOfA, false, TableRefusal::BadUpcase},
         }) {
        const auto table = FolderTree::read(
            [&](std::uint64_t offset, std::span<std::byte> into, auto) {
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

// One folder is opened per security ID, and its answer kept for the ID's other folders when it
// opened; when it did not, each folder of that ID is opened itself, as is a folder of no ID, and
// every folder where traverse checking is not bypassed.
// The device reader hands over the piece asked for, whether the piece it read ahead was that one,
// another or none; past the volume's end, and once stopped, it fails.
TEST_F(NtfsVolume, DeviceReaderGivesThePieceAskedForWhateverItReadAhead) {
    std::vector<std::byte> boot(4096);
    ASSERT_TRUE(readImage(0, boot));
    const auto geometry = readBootSector(boot);
    ASSERT_TRUE(geometry);
    // Pieces of the table, which differ from each other and from the boot sector.
    const std::uint64_t table = geometry->mftCluster * geometry->bytesPerCluster;
    constexpr std::size_t kPiece = 64 * 1024;
    struct Step {
        Piece asked;
        std::optional<Piece> next;
    };
    platform::win32::DeviceReader device(image_, nullptr);
    for (const Step& step : {Step{{table, kPiece}, Piece{table + kPiece, kPiece}},
                             Step{{table + kPiece, kPiece}, Piece{table + 2 * kPiece, 4096}},
                             Step{{0, 4096}, Piece{24u << 20, kPiece}},
                             Step{{table + 2 * kPiece, 4096}, std::nullopt}}) {
        std::vector<std::byte> got(step.asked.length), want(step.asked.length);
        ASSERT_TRUE(device(step.asked.offset, got, step.next)) << step.asked.offset;
        ASSERT_TRUE(readImage(step.asked.offset, want));
        EXPECT_EQ(got, want) << step.asked.offset;
    }
    std::vector<std::byte> record(4096);
    ASSERT_TRUE(readImage(table + 2 * kPiece, record));
    EXPECT_NE(record, boot);  // so that a piece handed over for another would show
    std::vector<std::byte> beyond(4096);
    EXPECT_FALSE(device(24u << 20, beyond, std::nullopt));  // the image's 24 MiB
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(platform::win32::DeviceReader(image_, &stop)(0, beyond, std::nullopt));
}

TEST(ListableFolders, OpensTheFirstFolderOfEachIdAndEveryFolderOfAnIdThatFailed) {
    struct Step {
        const wchar_t* folder;
        std::uint32_t securityId;
        bool opens;   // what opening it answers
        bool listed;  // what mayList answers
        bool opened;  // whether it was opened
    };
    const std::vector<Step> shared = {
        {L"a", 0x100, true, true, true},   {L"b", 0x100, false, true, false},
        {L"c", 0x101, false, false, true}, {L"d", 0x101, true, true, true},
        {L"e", 0x101, false, false, true}, {L"f", 0, true, true, true},
        {L"g", 0, false, false, true},
    };
    const std::vector<Step> notBypassed = {
        {L"a", 0x100, true, true, true},
        {L"b", 0x100, false, false, true},
    };
    for (const auto& [steps, bypass] : {std::pair{shared, true}, std::pair{notBypassed, false}}) {
        const Step* now = nullptr;
        bool opened = false;
        platform::win32::ListableFolders folders(
            [&](const std::wstring& folder) {
                opened = folder == now->folder;
                return now->opens;
            },
            bypass);
        for (const Step& step : steps) {
            now = &step;
            opened = false;
            EXPECT_EQ(folders.mayList(step.folder, step.securityId), step.listed) << step.folder;
            EXPECT_EQ(opened, step.opened) << step.folder;
        }
    }
}

// Drive E: of scripts/test-windows.sh: the same NTFS volume as a device (the image) and as a
// folder (an ntfs-3g mount), so that a scan from its table and a walk of its folders meet.
std::optional<std::wstring> ntfsDrive() {
    return test::environmentVariable(L"KELMORA_TEST_NTFS_DRIVE");
}

// A scan of `drive` from its table (`opens` says which folders open) and one by the walk.
struct TableAndWalk {
    test::ScanFindings table, walked;
    bool tableUsed = false;
};
TableAndWalk scanBothWays(const std::wstring& drive,
                          platform::win32::ListableFolders::Opener opens = nullptr) {
    const auto none = [](const std::wstring&) { return false; };
    platform::win32::Win32FileSystem fromTable(
        none, platform::win32::Win32FileSystem::TableUse::FromTable, std::move(opens));
    platform::win32::Win32FileSystem walk(none,
                                          platform::win32::Win32FileSystem::TableUse::DiskOnly);
    // The table is read beside the walk and taken up between two folders once it is there: the
    // first pause waits for the read, so that the rest comes from the table.
    TableAndWalk scans;
    scans.table = test::scanTree(fromTable, drive, [&](MainState&) {
        for (int i = 0; i < 500 && !fromTable.tableReadEnded(); ++i) Sleep(10);
        scans.tableUsed |= fromTable.listsFromTable();
    });
    scans.walked = test::scanTree(walk, drive);
    return scans;
}

// The same rows in the same order, with the same sizes and identities.
void expectAlike(const test::ScanFindings& table, const test::ScanFindings& walked) {
    EXPECT_EQ(table.relative, walked.relative);
    EXPECT_EQ(table.sizes, walked.sizes);
    ASSERT_EQ(table.rows.size(), walked.rows.size());
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        EXPECT_EQ(table.rows[i].file, walked.rows[i].file) << test::utf8(table.relative[i]);
        EXPECT_EQ(table.rows[i].folder, walked.rows[i].folder) << test::utf8(table.relative[i]);
    }
    EXPECT_GT(table.relative.size(), 600u);
}

// A scan from the table lists exactly what the walk lists, in the walk's order, with the same
// sizes and identities, which are those the removal checks: its rows are erased and moved to the
// bin for real. A folder that the walk could not open is not listed either. Any volume whose table
// cannot be had (no device to read, IDs without a reuse counter) is walked.
TEST(NtfsTableScan, ListsWhatTheWalkListsInItsOrderAndElseWalks) {
    const auto drive = ntfsDrive();
    if (!drive) GTEST_SKIP() << "no NTFS drive for the table scan";
    // Made through the mount before the scans, so that both list them.
    const std::wstring removal = *drive + L"\\removal\\";
    CreateDirectoryW(removal.c_str(), nullptr);
    CreateDirectoryW((removal + L"home").c_str(), nullptr);
    for (const wchar_t* name : {L"erase.tmp", L"recycle.tmp"}) {
        const HANDLE made = CreateFileW((removal + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(made, INVALID_HANDLE_VALUE);
        CloseHandle(made);
    }

    // Deep\a cannot be opened (as root under Wine nothing is refused: the opener says so).
    auto [table, walked, tableUsed] = scanBothWays(*drive, [](const std::wstring& folder) {
        return folder.size() < 8 || folder.substr(folder.size() - 8) != L"\\deep\\a\\";
    });
    EXPECT_TRUE(tableUsed);
    for (std::size_t i = walked.relative.size(); i-- > 0;)
        if (walked.relative[i].rfind(L"deep\\a\\", 0) == 0) {
            walked.relative.erase(walked.relative.begin() + static_cast<std::ptrdiff_t>(i));
            walked.sizes.erase(walked.sizes.begin() + static_cast<std::ptrdiff_t>(i));
            walked.rows.erase(walked.rows.begin() + static_cast<std::ptrdiff_t>(i));
        }
    expectAlike(table, walked);

    // A scan stopped in its first pause, while the table may still be read, ends, the read with it.
    const auto none = [](const std::wstring&) { return false; };
    platform::win32::Win32FileSystem fromTable(
        none, platform::win32::Win32FileSystem::TableUse::FromTable);
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

    // Rows of the table, removed by the program's remover: erased, and moved to the bin. Wine's
    // bin is the freedesktop trash of XDG_DATA_HOME, read once a process, which takes a file by a
    // rename: one on this volume.
    const auto rowOf = [&](const wchar_t* name) {
        const auto row = std::find(table.relative.begin(), table.relative.end(), name);
        EXPECT_NE(row, table.relative.end()) << test::utf8(name);
        return row == table.relative.end()
                   ? platform::ListedFile{}
                   : platform::ListedFile(table.rows[row - table.relative.begin()]);
    };
    platform::win32::Win32FileRemover remover;
    EXPECT_EQ(remover.deleteFile(rowOf(L"removal\\erase.tmp")).outcome,
              platform::RemoveOutcome::Removed);
    remover.finishBatch();
    EXPECT_EQ(GetFileAttributesW((removal + L"erase.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    const auto home = test::unixPathOf(removal + L"home");
    ASSERT_TRUE(home);
    SetEnvironmentVariableW(L"XDG_DATA_HOME", test::utf16(*home).c_str());
    const auto moved = remover.moveToTrash(rowOf(L"removal\\recycle.tmp"));
    EXPECT_EQ(moved.outcome, platform::RemoveOutcome::Removed) << moved.osError;
    EXPECT_EQ(GetFileAttributesW((removal + L"recycle.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(DeleteFileW((removal + L"home\\Trash\\files\\recycle.tmp").c_str()));
    DeleteFileW((removal + L"home\\Trash\\info\\recycle.tmp.trashinfo").c_str());
}

// Sets or clears the dirty flag of the volume whose device is `device` ("\\\\.\\F:"): in $Volume's
// record (3, in the table's first extent), its $VOLUME_INFORMATION's flags.
void markDirty(const std::wstring& device, bool dirty) {
    const HANDLE volume =
        CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    std::vector<std::byte> boot(4096);
    DWORD done = 0;
    ASSERT_TRUE(ReadFile(volume, boot.data(), 4096, &done, nullptr));
    const auto geometry = readBootSector(boot);
    ASSERT_TRUE(geometry);
    OVERLAPPED at{};
    const std::uint64_t offset =
        geometry->mftCluster * geometry->bytesPerCluster + 3 * geometry->bytesPerRecord;
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    std::vector<std::byte> record(geometry->bytesPerRecord);
    ASSERT_TRUE(ReadFile(volume, record.data(), geometry->bytesPerRecord, &done, &at));
    const auto u32 = [&](std::size_t i) {
        std::uint32_t v;
        std::memcpy(&v, &record[i], 4);
        return v;
    };
    std::size_t attribute = u32(0x14) & 0xFFFF;
    while (u32(attribute) != 0x70 && u32(attribute) != 0xFFFFFFFF) attribute += u32(attribute + 4);
    ASSERT_EQ(u32(attribute), 0x70u);
    const std::size_t flags = attribute + (u32(attribute + 0x14) & 0xFFFF) + 0x0A;
    ASSERT_NE(flags % 512, 510u);  // not a word that the update sequence keeps elsewhere
    record[flags] = (record[flags] & ~std::byte{1}) | (dirty ? std::byte{1} : std::byte{0});
    EXPECT_TRUE(WriteFile(volume, record.data(), geometry->bytesPerRecord, &done, &at));
    CloseHandle(volume);
}

// The same files on volumes as Windows lays out others (scripts/test-windows.sh: F:, of 4 KiB
// sectors and records and 2 MiB clusters): the table lists what the walk lists. Marked dirty, a
// volume's table is refused, and the scan walks it, with the same rows.
TEST(NtfsTableScan, OtherLayoutsListWhatTheWalkListsAndADirtyOneIsWalked) {
    const auto drives = test::environmentVariable(L"KELMORA_TEST_NTFS_MORE_DRIVES");
    if (!drives) GTEST_SKIP() << "no NTFS drives of other layouts";
    for (std::size_t at = 0; at < drives->size(); at += 3) {
        const std::wstring drive = drives->substr(at, 2);
        for (const bool dirty : {false, true}) {
            markDirty(L"\\\\.\\" + drive, dirty);
            const auto [table, walked, tableUsed] = scanBothWays(drive);
            EXPECT_EQ(tableUsed, !dirty) << test::utf8(drive);
            expectAlike(table, walked);
        }
        markDirty(L"\\\\.\\" + drive, false);
    }
}

}  // namespace
}  // namespace kelmora
