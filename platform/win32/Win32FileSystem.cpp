#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <mutex>

#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {
namespace {

struct FindCloser {
    HANDLE handle;
    ~FindCloser() { FindClose(handle); }
};

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

DirEntry toDirEntry(const std::wstring& name, unsigned long attributes, unsigned long reparseTag) {
    FileFacts facts;
    facts.attributes = attributes;
    facts.reparseTag = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? reparseTag : 0;
    DirEntry entry;
    entry.name = name;
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

Win32FileSystem::Win32FileSystem(ProtectionCheck isProtected)
    : isProtected_(std::move(isProtected)) {}

bool Win32FileSystem::list(const NativeString& folder, std::vector<DirEntry>& out) {
    WIN32_FIND_DATAW data{};
    const HANDLE find =
        FindFirstFileExW(extendedPath(folder + L"*").c_str(), FindExInfoBasic, &data,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // A root folder has no "." and "..": an empty one finds nothing, which is no failure.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    const FindCloser closer{find};
    do {
        out.push_back(toDirEntry(data.cFileName, data.dwFileAttributes, data.dwReserved0));
    } while (FindNextFileW(find, &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

std::optional<std::int64_t> Win32FileSystem::fileSize(const NativeString& path) {
    DWORD error = 0;
    const auto facts = readFileFacts(path, error);
    if (!facts || !facts->isRegularFile()) return std::nullopt;
    return facts->size;
}

bool Win32FileSystem::isProtected(const NativeString& path) {
    return isProtected_ && isProtected_(path);
}

}  // namespace kelmora::platform::win32
