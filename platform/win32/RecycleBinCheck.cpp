#include "platform/win32/RecycleBinCheck.h"

#include <optional>
#include <vector>

#include "platform/win32/ClosedAtEnd.h"
#include "platform/win32/OpenInFolder.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {
namespace {

// The path of what is open at `handle`, as the system names it now (not as it was opened).
std::optional<std::wstring> finalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int tries = 0; tries < 2; ++tries) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
        if (length == 0) return std::nullopt;
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);  // too small: `length` counts the final null
    }
    return std::nullopt;
}

// True when `inner` names something below the folder `folder` (both final paths).
bool isBelow(const std::wstring& inner, const std::wstring& folder) {
    if (inner.size() <= folder.size() + 1 || inner[folder.size()] != L'\\') return false;
    return CompareStringOrdinal(inner.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

std::optional<std::wstring> variable(const wchar_t* name) {
    const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0) return std::nullopt;
    std::wstring value(length, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), length));
    return value;
}

// Wine's home trash "files" folder in Windows' terms; nothing on Windows, which lacks the export.
std::optional<std::wstring> wineHomeTrash() {
    using ToWindows = wchar_t*(CDECL*)(const char*);
    const auto toWindows = reinterpret_cast<ToWindows>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (!toWindows) return std::nullopt;
    std::wstring dataHome;
    if (const auto xdg = variable(L"XDG_DATA_HOME"); xdg && !xdg->empty())
        dataHome = *xdg;
    else if (const auto home = variable(L"HOME"); home && !home->empty())
        dataHome = *home + L"/.local/share";
    else
        return std::nullopt;
    // Wine takes a Unix path in the Unix locale's encoding, its code page CP_UNIXCP.
    constexpr UINT kUnixCodePage = 65010;
    const int size =
        WideCharToMultiByte(kUnixCodePage, 0, dataHome.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::nullopt;
    std::string unixPath(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kUnixCodePage, 0, dataHome.c_str(), -1, unixPath.data(), size, nullptr,
                        nullptr);
    unixPath.resize(static_cast<std::size_t>(size - 1));
    unixPath += "/Trash/files";
    wchar_t* windows = toWindows(unixPath.c_str());
    if (!windows) return std::nullopt;
    std::wstring out = windows;
    HeapFree(GetProcessHeap(), 0, windows);
    return out;
}

// Looks for the file in the bin folder at `bin`: true when it lies below it.
bool foundIn(const std::wstring& bin, std::uint64_t fileIndex, std::wstring_view name,
             DWORD& error) {
    const ClosedAtEnd folder(CreateFileW(
        extendedPath(bin).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (folder.handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    // A bin that is itself a link would prove nothing of the volume's bin.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder.handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = ERROR_FILE_INVALID;
        return false;
    }
    // Wine's bin keeps the file's name (or adds a number to it): looked up by name first, as its
    // search by index reads every entry of the bin.
    DWORD openError = 0;
    const ClosedAtEnd named(openInFolder(folder.handle, name, FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         false, openError));
    BY_HANDLE_FILE_INFORMATION namedInfo{};
    if (named.handle != INVALID_HANDLE_VALUE &&
        GetFileInformationByHandle(named.handle, &namedInfo) &&
        ((static_cast<std::uint64_t>(namedInfo.nFileIndexHigh) << 32) | namedInfo.nFileIndexLow) ==
            fileIndex) {
        error = 0;
        return true;
    }
    FILE_ID_DESCRIPTOR id{};
    id.dwSize = sizeof id;
    id.Type = FileIdType;
    id.FileId.QuadPart = static_cast<LONGLONG>(fileIndex);
    const ClosedAtEnd found(
        OpenFileById(folder.handle, &id, FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
    if (found.handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    const auto binPath = finalPath(folder.handle);
    const auto filePath = finalPath(found.handle);
    if (!binPath || !filePath) {
        error = GetLastError();
        return false;
    }
    if (!isBelow(*filePath, *binPath)) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    error = 0;
    return true;
}

}  // namespace

bool liesInRecycleBin(const std::wstring& root, std::uint64_t fileIndex, std::wstring_view name,
                      DWORD& error) {
    std::vector<std::wstring> bins{root + L"$Recycle.Bin"};
    if (auto wine = wineHomeTrash()) bins.push_back(std::move(*wine));
    for (const std::wstring& bin : bins)
        if (foundIn(bin, fileIndex, name, error)) return true;
    error = ERROR_FILE_NOT_FOUND;
    return false;
}

}  // namespace kelmora::platform::win32
