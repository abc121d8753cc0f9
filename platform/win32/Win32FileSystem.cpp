// SPDX-License-Identifier: MIT
#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <chrono>
#include <mutex>

#include "platform/win32/ClosedAtEnd.h"
#include "platform/win32/Win32Identity.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {
namespace {

constexpr std::size_t kListingBuffer = 64 * 1024;
// How long a scan waits for its volume's table before it reads the disk beside the read.
constexpr std::chrono::seconds kTableWait{3};

}  // namespace

bool isFileGuardedBySystem(const std::wstring& path) {
    using SfcIsFileProtectedFn = BOOL(WINAPI*)(HANDLE, LPCWSTR);
    static std::once_flag loaded;
    static SfcIsFileProtectedFn sfcIsFileProtected = nullptr;
    std::call_once(loaded, [] {
        // Loaded by its system path, never from the program's folder or the current one.
        if (HMODULE sfc = LoadLibraryExW(L"sfc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
            sfcIsFileProtected = reinterpret_cast<SfcIsFileProtectedFn>(
                reinterpret_cast<void*>(GetProcAddress(sfc, "SfcIsFileProtected")));
    });
    return sfcIsFileProtected && sfcIsFileProtected(nullptr, path.c_str()) != FALSE;
}

DirEntry toDirEntry(std::wstring name, unsigned long attributes, unsigned long reparseTag) {
    FileFacts facts;
    facts.attributes = attributes;
    facts.reparseTag = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? reparseTag : 0;
    DirEntry entry;
    entry.name = std::move(name);
    entry.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    if (facts.isFolder()) {
        entry.type = EntryType::Folder;
        if (facts.isLink()) entry.system = true;  // never entered
    } else {
        entry.type = facts.isRegularFile() ? EntryType::File : EntryType::Other;
    }
    return entry;
}

Win32FileSystem::Win32FileSystem() : Win32FileSystem(isFileGuardedBySystem) {}

Win32FileSystem::Win32FileSystem(ProtectionCheck isProtected, TableUse tableUse,
                                 ListableFolders::Opener folderOpens)
    : isProtected_(std::move(isProtected)),
      tableUse_(tableUse),
      folderOpens_(std::move(folderOpens)) {}

Win32FileSystem::~Win32FileSystem() = default;

void Win32FileSystem::beginScan() {
    chain_.clear();
    chainEnd_.clear();
    chainFailed_ = false;
    tableTried_ = false;
    reading_.reset();
    table_.reset();
    listable_.reset();
}

void Win32FileSystem::endScan() {
    reading_.reset();  // a read still under way stops here
    table_.reset();
    listable_.reset();
    chain_.clear();
    chainEnd_.clear();
}

std::optional<FileIdentity> Win32FileSystem::list(const NativeString& folder,
                                                  const std::optional<FileIdentity>& expected,
                                                  std::vector<DirEntry>& out, std::size_t) {
    // The first listing of a scan that starts at a drive's root starts the read of its volume's
    // table; that listing and each one after it take the table up once it is there.
    if (!tableTried_ && tableUse_ == TableUse::FromTable) {
        tableTried_ = true;
        if (!expected && folder.size() == 3 && isDriveAbsolute(folder)) {
            reading_ = std::make_unique<TableRead>(folder);
            tableWaitEnds_ = std::chrono::steady_clock::now() + kTableWait;
        }
    }
    if (reading_) {
        // The walk waits for the table rather than read the disk beside it: folders read now are
        // listed by the table anyway, and their reads take the disk and the processors from the
        // table's. A message for the window ends the wait at once, so that the pause after this
        // folder handles it; and once kTableWait is over, a read that is still going (a slow
        // disk, a huge table) has the walk go on beside it, so that a table that fails late has
        // kept the scan waiting no longer than that.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            tableWaitEnds_ - std::chrono::steady_clock::now());
        if (left.count() > 0) reading_->awaitEnd(left);
    }
    if (reading_ && reading_->ended()) {
        if (auto table = reading_->take()) {
            table_ = std::make_unique<VolumeTable>(std::move(*table));
            listable_ = folderOpens_ ? std::make_unique<ListableFolders>(folderOpens_, true)
                                     : std::make_unique<ListableFolders>();
        }
        reading_.reset();
    }
    if (table_) {
        if (const auto held = table_->folderOf(expected)) {
            // A folder that the walk could not open lists nothing, as below.
            if (!listable_->mayList(folder, table_->securityIdOf(*held))) return std::nullopt;
            return table_->list(*held, out);
        }
        // Not a folder of the table: the disk answers.
    }
    // A folder below the scan's first one is opened in its parent, held open from the folder
    // before (FolderChain: checked to be a folder, no link, and the expected one), so that it
    // lies on the parent's volume: its identity then needs no question to the volume, which under
    // Wine goes to another process and cost more than the listing itself.
    HANDLE handle = INVALID_HANDLE_VALUE;
    ClosedAtEnd opened(INVALID_HANDLE_VALUE);  // a folder opened by its path, closed at the end
    std::uint64_t volume = 0;
    FileIdentity id;
    // The walk gives a folder with its final separator; the chain takes it without.
    const std::size_t end =
        folder.size() > 3 && folder.back() == L'\\' ? folder.size() - 1 : folder.size();
    const NativeString path = folder.substr(0, end);
    // A folder listed again is opened afresh: its path may name another folder by now.
    if (path == chainEnd_) chain_.clear();
    chainEnd_.clear();
    if (expected && !chainFailed_ && chain_.reach(path, *expected) == 0) {
        handle = chain_.folder();
        volume = chain_.volume();
        id = *expected;
        chainEnd_ = path;
    } else {
        // The folder itself, not what a link or junction at its name points to.
        handle = opened.handle = openFolderToList(folder);
        if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
        FileFacts facts;
        facts.attributes = info.dwFileAttributes;
        if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            FILE_ATTRIBUTE_TAG_INFO tag{};
            if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
                facts.reparseTag = tag.ReparseTag;
        }
        if (!facts.isFolder() || facts.isLink()) return std::nullopt;
        volume = info.dwVolumeSerialNumber;
        id = identityOf(handle, info);
        if (expected && *expected != id) return std::nullopt;
        // The folder is the expected one, but the chain could not take its path (not
        // drive-absolute, or through a link above the scan's first folder): the rest of the scan
        // opens its folders by their paths.
        if (expected) chainFailed_ = true;
    }
    const IdReuse reuse = volumeIdReuse(handle, volume);

    if (buffer_.empty()) buffer_.resize(kListingBuffer / sizeof(std::uint64_t));
    const auto bytes = static_cast<DWORD>(buffer_.size() * sizeof(std::uint64_t));
    for (auto kind = FileIdBothDirectoryRestartInfo;
         GetFileInformationByHandleEx(handle, kind, buffer_.data(), bytes);
         kind = FileIdBothDirectoryInfo) {
        // Records follow each other at NextEntryOffset, 0 ending the batch. A failing call ends
        // the listing, at the end (ERROR_NO_MORE_FILES) or not.
        const auto* at = reinterpret_cast<const unsigned char*>(buffer_.data());
        for (;;) {
            const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            // For a reparse point, EaSize holds its tag.
            DirEntry entry =
                toDirEntry(std::wstring(record->FileName, record->FileNameLength / sizeof(wchar_t)),
                           record->FileAttributes, record->EaSize);
            entry.id = makeIdentity({volume, static_cast<std::uint64_t>(record->FileId.QuadPart),
                                     (record->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                                     record->EndOfFile.QuadPart,
                                     static_cast<std::uint64_t>(record->LastWriteTime.QuadPart),
                                     static_cast<std::uint64_t>(record->CreationTime.QuadPart)},
                                    reuse);
            if (entry.type == EntryType::File) entry.size = record->EndOfFile.QuadPart;
            out.push_back(std::move(entry));
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
    }
    return id;
}

std::optional<FileDetails> Win32FileSystem::fileDetails(const DirEntry& entry) {
    if (entry.type != EntryType::File || entry.size < 0) return std::nullopt;
    return FileDetails{entry.size, entry.id};
}

bool Win32FileSystem::isProtected(const NativeString& path, const FileIdentity&) {
    return isProtected_ && isProtected_(path);
}

}  // namespace kelmora::platform::win32
