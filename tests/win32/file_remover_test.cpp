// SPDX-License-Identifier: MIT
#include "platform/win32/Win32FileRemover.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "platform/win32/ClosedAtEnd.h"
#include "platform/win32/FolderChain.h"
#include "platform/win32/RecycleBinCheck.h"
#include "platform/win32/RecycleOnlySink.h"
#include "platform/win32/Win32FileSystem.h"
#include "tests/support/ListedFileOf.h"
#include "tests/win32/WinTree.h"
#include "tests/win32/WineHost.h"

namespace kelmora {
namespace {

using platform::RemoveOutcome;
using platform::win32::ClosedAtEnd;
using platform::win32::RecycleOnlySink;
using platform::win32::Win32FileRemover;

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

platform::ListedFile listed(const test::WinTree& tree, const std::wstring& rel) {
    return test::listedFileOf(tree.path(rel));
}

class Win32Remover : public ::testing::Test {
  protected:
    platform::ListedFile listed(const std::wstring& rel) const {
        return kelmora::listed(tree, rel);
    }

    test::WinTree tree;
    Win32FileRemover remover;
};

TEST_F(Win32Remover, DeletesAnOrdinaryFileOnly) {
    ASSERT_TRUE(tree.file(L"a.tmp", 10));
    ASSERT_TRUE(tree.file(L"b.tmp", 10));
    EXPECT_EQ(remover.deleteFile(listed(L"a.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_FALSE(tree.exists(L"a.tmp"));
    EXPECT_TRUE(tree.exists(L"b.tmp"));
    EXPECT_EQ(remover.deleteFile(listed(L"a.tmp")).outcome, RemoveOutcome::AlreadyGone);
}

TEST_F(Win32Remover, ReadOnlyFileIsRefusedNotForced) {
    ASSERT_TRUE(tree.file(L"keep.bak", 0, "precious"));
    if (!tree.setAttributes(L"keep.bak", FILE_ATTRIBUTE_READONLY))
        GTEST_SKIP() << "the drive does not keep the read-only attribute";
    const auto result = remover.deleteFile(listed(L"keep.bak"));
    EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(result.osError, ERROR_ACCESS_DENIED);
    EXPECT_EQ(tree.read(L"keep.bak"), "precious");
}

TEST_F(Win32Remover, FoldersAndPatternsAreRefusedAndTouchNothing) {
    ASSERT_TRUE(tree.folder(L"dir.tmp"));
    ASSERT_TRUE(tree.file(L"a1.tmp"));
    EXPECT_EQ(remover.deleteFile(listed(L"dir.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(remover.moveToTrash(listed(L"dir.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(remover.deleteFile(listed(L"a?.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(remover.moveToTrash(listed(L"*.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_TRUE(tree.exists(L"dir.tmp"));
    EXPECT_TRUE(tree.exists(L"a1.tmp"));
}

TEST_F(Win32Remover, AnotherFileAtTheListedPathIsRefusedAndKept) {
    ASSERT_TRUE(tree.file(L"f.tmp", 0, "listed"));
    const platform::ListedFile file = listed(L"f.tmp");
    ASSERT_NE(file.file, platform::FileIdentity{});
    // Made while the listed file still exists, so it cannot have its file ID.
    ASSERT_TRUE(tree.file(L"newer", 0, "someone else's"));
    ASSERT_TRUE(MoveFileExW(tree.path(L"newer").c_str(), tree.path(L"f.tmp").c_str(),
                            MOVEFILE_REPLACE_EXISTING));
    for (const auto& result : {remover.deleteFile(file), remover.moveToTrash(file)}) {
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ERROR_FILE_INVALID);
    }
    EXPECT_EQ(tree.read(L"f.tmp"), "someone else's");
}

TEST_F(Win32Remover, NameOnlyReachableInItsLongFormIsDeleted) {
    // A final dot is trimmed from a path in its ordinary form, which would name another file.
    if (!tree.file(L"trail.tmp.", 1)) GTEST_SKIP() << "the drive refuses a name ending in a dot";
    ASSERT_TRUE(tree.file(L"trail.tmp", 1));
    EXPECT_EQ(remover.deleteFile(listed(L"trail.tmp.")).outcome, RemoveOutcome::Removed);
    EXPECT_TRUE(tree.exists(L"trail.tmp"));
}

// The bin's record of a file, read back from Wine's freedesktop trash (the data home's Trash):
// the name of the trashed copy and the Unix path the record says it came from.
struct TrashRecord {
    std::wstring name;
    std::string origin;
};

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::vector<TrashRecord> trashRecords(const std::wstring& trash) {
    std::vector<TrashRecord> records;
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW((trash + L"\\info\\*.trashinfo").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return records;
    do {
        const std::wstring info = data.cFileName;
        const HANDLE h = CreateFileW((trash + L"\\info\\" + info).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        std::string text(8192, '\0');
        DWORD got = 0;
        ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
        CloseHandle(h);
        text.resize(got);
        const std::size_t path = text.find("\nPath=");
        if (text.rfind("[Trash Info]\n", 0) != 0 || path == std::string::npos) continue;
        const std::size_t start = path + 6;
        records.push_back({info.substr(0, info.size() - std::wstring(L".trashinfo").size()),
                           percentDecoded(text.substr(start, text.find('\n', start) - start))});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return records;
}

// The bin under Wine is the Unix user's freedesktop trash in the data home Wine was started with
// (XDG_DATA_HOME, which scripts/wine-prefix.sh points at a folder of the test run).
std::optional<std::wstring> wineTrash() {
    const auto dataHome = test::environmentVariable(L"XDG_DATA_HOME");
    if (!dataHome) return std::nullopt;
    const auto folder = test::windowsPathOf(test::utf8(*dataHome) + "/Trash");
    return folder;
}

TEST_F(Win32Remover, MoveToTrashPutsTheFileInTheBinWithItsRecord) {
    ASSERT_TRUE(tree.file(L"old.tmp", 0, "contents"));
    const auto unixPath = test::unixPathOf(tree.path(L"old.tmp"));
    const auto result = remover.moveToTrash(listed(L"old.tmp"));
    ASSERT_EQ(result.outcome, RemoveOutcome::Removed) << result.osError;
    EXPECT_FALSE(tree.exists(L"old.tmp"));
    EXPECT_EQ(remover.moveToTrash(listed(L"missing.tmp")).outcome, RemoveOutcome::AlreadyGone);

    const auto trash = wineTrash();
    if (!unixPath || !trash) return;  // Windows' own Recycle Bin keeps its records its own way
    const auto records = trashRecords(*trash);
    const auto record = std::find_if(records.begin(), records.end(),
                                     [&](const TrashRecord& r) { return r.origin == *unixPath; });
    ASSERT_NE(record, records.end()) << "no record of " << *unixPath << " in the trash";
    const std::wstring copy = *trash + L"\\files\\" + record->name;
    const HANDLE h = CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "the record names no file in the trash";
    char bytes[16] = {};
    DWORD got = 0;
    ReadFile(h, bytes, sizeof bytes, &got, nullptr);
    CloseHandle(h);
    EXPECT_EQ(std::string(bytes, got), "contents");
    DeleteFileW(copy.c_str());
    DeleteFileW((*trash + L"\\info\\" + record->name + L".trashinfo").c_str());
}

// After the shell's move the listed file must be found, by its file index, in a bin of its
// volume: a file still in its folder, or one that left it for another folder (as the listed file
// would if it were swapped away while the shell recycled what was put at its path), is not.
TEST_F(Win32Remover, OnlyTheListedFileFoundInTheBinCountsAsRecycled) {
    ASSERT_TRUE(tree.file(L"binned.tmp", 0, "b") && tree.file(L"moved.tmp", 0, "m") &&
                tree.folder(L"elsewhere"));
    const platform::ListedFile binned = listed(L"binned.tmp");
    const platform::ListedFile moved = listed(L"moved.tmp");
    DWORD error = 0;
    EXPECT_FALSE(platform::win32::RecycleBins().contains(binned.path, binned.file.inode, error));
    ASSERT_EQ(remover.moveToTrash(binned).outcome, RemoveOutcome::Removed);
    EXPECT_TRUE(platform::win32::RecycleBins().contains(binned.path, binned.file.inode, error))
        << error;
    // A second file of that name takes another name in the bin: found by its index alone.
    ASSERT_TRUE(tree.file(L"binned.tmp", 0, "second"));
    EXPECT_EQ(remover.moveToTrash(listed(L"binned.tmp")).outcome, RemoveOutcome::Removed);
    ASSERT_TRUE(MoveFileExW(tree.path(L"moved.tmp").c_str(),
                            tree.path(L"elsewhere\\moved.tmp").c_str(), 0));
    EXPECT_FALSE(platform::win32::RecycleBins().contains(moved.path, moved.file.inode, error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// A batch of moves keeps the folders on the path, and the bin, held from one file to the next
// (neither can be renamed or deleted meanwhile), and lets the folders go when it ends. (The bin
// may be held by a test running beside this one.)
TEST_F(Win32Remover, MoveToTrashHoldsFoldersAndBinForTheBatch) {
    ASSERT_TRUE(tree.folder(L"A") && tree.file(L"A\\1.tmp") && tree.file(L"A\\2.tmp"));
    for (const wchar_t* name : {L"A\\1.tmp", L"A\\2.tmp"})
        ASSERT_EQ(remover.moveToTrash(listed(name)).outcome, RemoveOutcome::Removed);
    if (const auto trash = wineTrash()) {
        const ClosedAtEnd bin(CreateFileW((*trash + L"\\files").c_str(), DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
        EXPECT_EQ(bin.handle, INVALID_HANDLE_VALUE);
    }
    EXPECT_FALSE(MoveFileExW(tree.path(L"A").c_str(), tree.path(L"B").c_str(), 0));
    remover.finishBatch();
    EXPECT_TRUE(MoveFileExW(tree.path(L"A").c_str(), tree.path(L"B").c_str(), 0));
}

// Under Wine the shell's only way, SHFileOperationW, takes no path of MAX_PATH characters or more:
// such a file is refused and stays, also after a file of the same batch went to the bin.
TEST_F(Win32Remover, MoveToTrashRefusesAPathTooLongForTheShell) {
    if (!wineTrash()) GTEST_SKIP() << "Windows' IFileOperation takes long paths";
    const std::wstring name = std::wstring(120, L'd') + L"\\" + std::wstring(150, L'n') + L".tmp";
    ASSERT_TRUE(tree.file(L"short.tmp") && tree.folder(std::wstring(120, L'd')) &&
                tree.file(name, 0, "kept"));
    EXPECT_EQ(remover.moveToTrash(listed(L"short.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_EQ(remover.moveToTrash(listed(name)).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(tree.read(name), "kept");
}

// The kelmora_trash_probe built beside this test binary, run on `file` in an environment of its
// own: this one's without the variables named in `set` and those beginning with `dropPrefix`,
// then with `set` ("NAME=value"). Its exit code, or -1 when it could not run.
int trashInProcessOfItsOwn(const std::wstring& file, const std::vector<std::wstring>& set,
                           const std::wstring& dropPrefix = L"") {
    wchar_t self[32768];
    std::wstring probe(self, GetModuleFileNameW(nullptr, self, 32768));
    probe = probe.substr(0, probe.find_last_of(L'\\') + 1) + L"kelmora_trash_probe.exe";
    std::wstring environment;
    const wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* e = block; *e; e += wcslen(e) + 1) {
        const std::wstring_view entry(e);
        const bool dropped = (!dropPrefix.empty() && entry.rfind(dropPrefix, 0) == 0) ||
                             std::any_of(set.begin(), set.end(), [&](const std::wstring& s) {
                                 return entry.rfind(s.substr(0, s.find(L'=') + 1), 0) == 0;
                             });
        if (!dropped) environment.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(const_cast<wchar_t*>(block));
    for (const std::wstring& variable : set) environment.append(variable).push_back(L'\0');
    environment.push_back(L'\0');
    std::wstring command = L"\"" + probe + L"\" \"" + file + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(probe.c_str(), command.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

std::wstring dataHome(const std::string& unixPath) {
    return L"XDG_DATA_HOME=" + test::utf16(unixPath);
}

// Where the bin cannot take a file, the shell's fallback would erase it for good once it has
// asked, or without asking: the file stays instead. Under Wine a bin whose "files" folder is a
// file is such a bin.
TEST_F(Win32Remover, MoveToTrashNeverErasesAFileTheBinCannotTake) {
    if (!wineTrash()) GTEST_SKIP() << "only Wine's bin can be broken on purpose by a test";
    ASSERT_TRUE(tree.file(L"keep.tmp", 0, "precious"));
    ASSERT_TRUE(tree.folder(L"broken") && tree.folder(L"broken\\Trash") &&
                tree.folder(L"broken\\Trash\\info") && tree.file(L"broken\\Trash\\files"));
    ASSERT_TRUE(tree.folder(L"working"));
    const auto broken = test::unixPathOf(tree.path(L"broken"));
    const auto working = test::unixPathOf(tree.path(L"working"));
    ASSERT_TRUE(broken && working);

    EXPECT_EQ(trashInProcessOfItsOwn(tree.path(L"keep.tmp"), {dataHome(*broken)}), 2);
    EXPECT_EQ(tree.read(L"keep.tmp"), "precious");
    // The same process with a bin that works: the file goes, into that bin.
    EXPECT_EQ(trashInProcessOfItsOwn(tree.path(L"keep.tmp"), {dataHome(*working)}), 0);
    EXPECT_FALSE(tree.exists(L"keep.tmp"));
    EXPECT_TRUE(tree.exists(L"working\\Trash\\files\\keep.tmp"));
}

// The shell takes a path: the remover holds every folder on it, checked, while the shell runs. A
// file is only ever taken from its listed folder.
TEST_F(Win32Remover, MoveToTrashActsOnlyThroughTheCheckedFolders) {
    ASSERT_TRUE(tree.folder(L"A") && tree.folder(L"A\\B") && tree.file(L"A\\B\\f.tmp", 0, "f"));
    {
        platform::win32::FolderChain held(FILE_SHARE_READ | FILE_SHARE_WRITE);
        const platform::ListedFile file = listed(L"A\\B\\f.tmp");
        ASSERT_EQ(held.reach(tree.path(L"A\\B"), file.folder), 0u);
        // No folder on the path can be renamed away (and so not replaced) while held.
        for (const wchar_t* folder : {L"A", L"A\\B"})
            EXPECT_FALSE(MoveFileExW(tree.path(folder).c_str(), tree.path(L"moved").c_str(), 0))
                << narrow(folder);
        EXPECT_FALSE(MoveFileExW(tree.root().c_str(), (tree.root() + L"-moved").c_str(), 0));
    }
    ASSERT_TRUE(MoveFileExW(tree.path(L"A\\B").c_str(), tree.path(L"A\\B2").c_str(), 0));

    // A folder swapped for another since the listing, holding the very file: refused, and the
    // file stays where it is now.
    const platform::ListedFile file = listed(L"A\\B2\\f.tmp");
    ASSERT_TRUE(MoveFileExW(tree.path(L"A\\B2").c_str(), tree.path(L"A\\old").c_str(), 0));
    ASSERT_TRUE(tree.folder(L"A\\B2"));
    ASSERT_TRUE(
        MoveFileExW(tree.path(L"A\\old\\f.tmp").c_str(), tree.path(L"A\\B2\\f.tmp").c_str(), 0));
    ASSERT_EQ(listed(L"A\\B2\\f.tmp").file, file.file);
    for (const auto& result : {remover.moveToTrash(file), remover.deleteFile(file)}) {
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ERROR_FILE_INVALID);
    }
    EXPECT_EQ(tree.read(L"A\\B2\\f.tmp"), "f");

    // A name the shell's path parsing would change names another file there: refused, both kept.
    if (!tree.file(L"trail.tmp.", 0, "listed")) return;  // the drive allows no such name
    ASSERT_TRUE(tree.file(L"trail.tmp", 0, "other"));
    EXPECT_EQ(remover.moveToTrash(listed(L"trail.tmp.")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(tree.read(L"trail.tmp."), "listed");
    EXPECT_EQ(tree.read(L"trail.tmp"), "other");
}

// Wine hands a program no HOME, only WINEHOMEDIR, the Unix home as an NT path; on most desktops
// no XDG_* variable is set. The shell then keeps its bin in the Unix home, where the file must be
// found, and no HOME that the program's environment names is taken for it.
TEST_F(Win32Remover, MoveToTrashFindsTheHomeTrashWithoutXdgVariables) {
    const auto home = test::environmentVariable(L"WINEHOMEDIR");
    if (!platform::win32::runsUnderWine() || !home)
        GTEST_SKIP() << "only Wine keeps its bin in a Unix home";
    ASSERT_TRUE(tree.file(L"go.tmp", 0, "go") && tree.file(L"stay.tmp") && tree.folder(L"decoy"));
    const auto decoy = test::unixPathOf(tree.path(L"decoy"));
    const auto unixPath = test::unixPathOf(tree.path(L"go.tmp"));
    ASSERT_TRUE(decoy && unixPath);
    EXPECT_EQ(
        trashInProcessOfItsOwn(tree.path(L"go.tmp"), {L"HOME=" + test::utf16(*decoy)}, L"XDG_"), 0);
    EXPECT_TRUE(!tree.exists(L"go.tmp") && tree.exists(L"stay.tmp"));
    const std::wstring trash = home->substr(4) + L"\\.local\\share\\Trash";
    const auto records = trashRecords(trash);
    const auto record = std::find_if(records.begin(), records.end(),
                                     [&](const TrashRecord& r) { return r.origin == *unixPath; });
    ASSERT_NE(record, records.end()) << "no record of " << *unixPath << " in the home's bin";
    EXPECT_TRUE(DeleteFileW((trash + L"\\files\\" + record->name).c_str()));
    DeleteFileW((trash + L"\\info\\" + record->name + L".trashinfo").c_str());
}

// Where the bin lies on another file system than the file, Wine's shell copies the file into it
// and deletes the file (it uses no trash at the top of the file's own file system): the copy has
// an identity of its own, so the file keeps its row, and it is not lost on the way.
TEST_F(Win32Remover, MoveToTrashCountsNoCopyInABinOnAnotherFileSystem) {
    test::WinTree other(L"Z:\\dev\\shm\\");  // a tmpfs, while the test's drive is on a disk
    const auto otherHome = test::unixPathOf(other.root());
    if (!platform::win32::runsUnderWine() || other.root().empty() || !otherHome)
        GTEST_SKIP() << "no Wine or tmpfs";
    ASSERT_TRUE(tree.file(L"far.tmp", 0, "far"));
    EXPECT_EQ(trashInProcessOfItsOwn(tree.path(L"far.tmp"), {dataHome(*otherHome)}), 2);
    EXPECT_TRUE(tree.read(L"far.tmp") == "far" || other.read(L"Trash\\files\\far.tmp") == "far");
}

// How the stand-in shell keeps a file: as Windows' shell does, or with one thing otherwise.
enum class Kept { AsTheShell, NoRecord, RecordOfAnother, OtherUsersBin, NoRName };

// Does what Windows' shell does on recycling within a volume: renames the file into the volume's
// bin of the user's SID as "$R" and a rest, and writes the "$I" record (version 2) of that rest
// naming its former path. What it made is kept in `made`, for the test to remove.
struct StandInShell final : platform::win32::BinShell {
    Kept kept;
    std::vector<std::wstring>& made;
    int calls = 0;
    StandInShell(Kept k, std::vector<std::wstring>& m) : kept(k), made(m) {}
    HRESULT recycle(const std::wstring& path) override {
        const std::wstring bin = path.substr(0, 3) + L"$Recycle.Bin\\";
        const std::wstring folder =
            bin +
            (kept == Kept::OtherUsersBin ? L"S-1-5-21-1-2-3-999" : platform::win32::userSid());
        const std::wstring rest = L"\\" + std::to_wstring(++calls + 100 * made.size()) + L".tmp";
        CreateDirectoryW(bin.c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
        made.push_back(folder + (kept == Kept::NoRName ? L"\\$X" : L"\\$R") + rest.substr(1));
        if (!MoveFileExW(path.c_str(), made.back().c_str(), 0)) return E_FAIL;
        if (kept == Kept::NoRecord) return S_OK;
        const std::wstring former = kept == Kept::RecordOfAnother ? L"C:\\other.tmp" : path;
        const auto characters = static_cast<std::uint32_t>(former.size() + 1);
        std::string bytes(28, '\0');
        bytes[0] = 2;  // the version; the size and the time may stay 0
        std::memcpy(bytes.data() + 24, &characters, sizeof characters);
        bytes.append(reinterpret_cast<const char*>(former.c_str()), characters * sizeof(wchar_t));
        made.push_back(folder + L"\\$I" + rest.substr(1));
        std::ofstream(std::filesystem::path(made.back()), std::ios::binary) << bytes;
        return S_OK;
    }
};

// Only "$R" data directly in the bin of the user's SID, beside the "$I" record naming the file,
// counts as recycled; and where the bin's settings (kept below a temporary key in place of the
// user's and the machine's) say that the shell would erase, it is never called and the file stays.
TEST(Win32RecycleBin, CountsOnlyTheShellsOwnEntryAndNeverHandsItAFileItWouldErase) {
    test::WinTree tree;
    wchar_t volume[MAX_PATH] = {};
    ASSERT_TRUE(
        GetVolumeNameForVolumeMountPointW(tree.root().substr(0, 3).c_str(), volume, MAX_PATH));
    const std::wstring policy = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    const std::wstring own =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\" +
        std::wstring(wcschr(volume, L'{'), wcschr(volume, L'}') + 1);
    struct Case {
        Kept kept;
        bool machine;
        std::wstring key;
        const wchar_t* value;
        DWORD data;
        std::int64_t size;
        RemoveOutcome expected;
        bool called;  // the shell was asked
    };
    using enum RemoveOutcome;
    const Case cases[] = {
        {Kept::AsTheShell, false, own, L"NukeOnDelete", 0, 10, Removed, true},
        {Kept::NoRecord, false, own, L"NukeOnDelete", 0, 10, Refused, true},
        {Kept::RecordOfAnother, false, own, L"NukeOnDelete", 0, 10, Refused, true},
        {Kept::OtherUsersBin, false, own, L"NukeOnDelete", 0, 10, Refused, true},
        {Kept::NoRName, false, own, L"NukeOnDelete", 0, 10, Refused, true},
        {Kept::AsTheShell, false, policy, L"NoRecycleFiles", 1, 10, Refused, false},
        {Kept::AsTheShell, true, policy, L"RecycleBinSize", 0, 10, Refused, false},
        {Kept::AsTheShell, false, own, L"NukeOnDelete", 1, 10, Refused, false},
        {Kept::AsTheShell, false, own, L"MaxCapacity", 0, 10, Refused, false},
        {Kept::AsTheShell, false, own, L"MaxCapacity", 1, 2 << 20, Refused, false},
        {Kept::AsTheShell, false, own, L"MaxCapacity", 1, 10, Removed, true},
    };
    const std::wstring base = L"Software\\kelmora-test-" + std::to_wstring(GetCurrentProcessId());
    std::vector<std::wstring> made;
    for (const Case& c : cases) {
        const auto row = static_cast<int>(&c - cases);
        HKEY keys[2] = {};
        for (int i = 0; i < 2; ++i)
            RegCreateKeyExW(HKEY_CURRENT_USER, (base + (i ? L"\\machine" : L"\\user")).c_str(), 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys[i], nullptr);
        ASSERT_EQ(RegSetKeyValueW(keys[c.machine], c.key.c_str(), c.value, REG_DWORD, &c.data, 4),
                  ERROR_SUCCESS);
        ASSERT_TRUE(tree.file(L"f.tmp", c.size, "kept"));
        auto shell = std::make_unique<StandInShell>(c.kept, made);
        const StandInShell& seen = *shell;
        Win32FileRemover remover(std::move(shell), {keys[0], keys[1]});
        EXPECT_EQ(remover.moveToTrash(listed(tree, L"f.tmp")).outcome, c.expected) << row;
        EXPECT_EQ(seen.calls, c.called ? 1 : 0) << row;
        EXPECT_EQ(tree.read(L"f.tmp").substr(0, 4), c.called ? "" : "kept") << row;
        remover.finishBatch();
        for (HKEY key : keys) RegCloseKey(key);
        RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
        DeleteFileW(tree.path(L"f.tmp").c_str());
    }
    for (const std::wstring& file : made) EXPECT_TRUE(DeleteFileW(file.c_str())) << narrow(file);
}

// On a volume whose file IDs carry no reuse counter, a file deleted and made again at the listed
// path after the scan may get the listed number; its size and times tell it apart, and it is
// refused. scripts/test-windows.sh makes such a volume for Wine (KELMORA_TEST_FAT_DRIVE): a FAT32
// image as the drive's device, over a folder of an ext4 disk, which gives a freed number to the
// next file at once.
TEST(Win32Identity, AFileMadeAgainAtAListedPathIsRefusedWhereIdsAreReused) {
    const auto drive = test::environmentVariable(L"KELMORA_TEST_FAT_DRIVE");
    if (!drive) GTEST_SKIP() << "no volume of the FAT family to test on";
    test::WinTree tree(*drive + L"\\");
    ASSERT_FALSE(tree.root().empty());
    ASSERT_TRUE(tree.file(L"f.tmp", 0, "listed") && tree.file(L"g.tmp", 0, "other"));

    // Listed as the scan lists it.
    platform::win32::Win32FileSystem fs([](const std::wstring&) { return false; });
    std::vector<platform::DirEntry> entries;
    const auto folder = fs.list(tree.folderPath(), std::nullopt, entries);
    ASSERT_TRUE(folder);
    std::map<std::wstring, platform::ListedFile> listedFiles;
    for (const auto& entry : entries)
        if (const auto details = fs.fileDetails(entry))
            listedFiles[entry.name] = {tree.path(entry.name), details->id, *folder};
    ASSERT_EQ(listedFiles.size(), 2u);
    EXPECT_EQ(listedFiles[L"f.tmp"].file.life.kind, platform::LifeWitness::Kind::SizeAndTimes);

    // Made again, with the same size; the file system gives it the listed number.
    ASSERT_TRUE(DeleteFileW(tree.path(L"f.tmp").c_str()));
    ASSERT_TRUE(tree.file(L"f.tmp", 0, "second"));
    const platform::ListedFile now = listed(tree, L"f.tmp");
    EXPECT_TRUE(now.file.sameNumber(listedFiles[L"f.tmp"].file));
    Win32FileRemover remover;
    for (const auto& result :
         {remover.deleteFile(listedFiles[L"f.tmp"]), remover.moveToTrash(listedFiles[L"f.tmp"])}) {
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ERROR_FILE_INVALID);
    }
    EXPECT_EQ(tree.read(L"f.tmp"), "second");
    // The folder changed with it, and is still the listed folder; the listing's identities are
    // the remover's.
    EXPECT_EQ(remover.moveToTrash(listedFiles[L"g.tmp"]).outcome, RemoveOutcome::Removed);
    EXPECT_EQ(remover.deleteFile(now).outcome, RemoveOutcome::Removed);
}

TEST(RecycleOnlySink, RefusesEveryDeleteTheShellWouldNotRecycle) {
    auto* sink = new RecycleOnlySink;
    EXPECT_EQ(sink->PreDeleteItem(TSF_DELETE_RECYCLE_IF_POSSIBLE, nullptr), S_OK);
    EXPECT_FALSE(sink->refusedErasure());
    EXPECT_TRUE(FAILED(sink->PreDeleteItem(TSF_NORMAL, nullptr)));
    EXPECT_TRUE(FAILED(sink->PreDeleteItem(TSF_COPY_LOCALIZED_NAME, nullptr)));
    EXPECT_TRUE(sink->refusedErasure());
    sink->Release();
}

TEST(RecycleOnlySink, IsAnOrdinaryComObject) {
    auto* sink = new RecycleOnlySink;
    IFileOperationProgressSink* asSink = nullptr;
    ASSERT_EQ(
        sink->QueryInterface(IID_IFileOperationProgressSink, reinterpret_cast<void**>(&asSink)),
        S_OK);
    void* other = nullptr;
    EXPECT_EQ(sink->QueryInterface(IID_IShellItem, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(asSink->Release(), 1U);
    EXPECT_EQ(sink->Release(), 0U);
}

}  // namespace
}  // namespace kelmora
