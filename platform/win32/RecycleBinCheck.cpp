// SPDX-License-Identifier: MIT
#include "platform/win32/RecycleBinCheck.h"

#include <sddl.h>
#include <winternl.h>

#include <optional>
#include <vector>

#include "platform/win32/ClosedAtEnd.h"
#include "platform/win32/OpenInFolder.h"
#include "platform/win32/Win32Path.h"
#include "platform/win32/bin/RecycleRecord.h"

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

// Wine's home trash "files" folder in Windows' terms, found as Wine's shell finds it; nothing on
// Windows, which lacks Wine's export. The shell takes XDG_DATA_HOME from the program's environment
// when it is set, else the Unix home that the Wine process started with. That home reaches a
// program only as WINEHOMEDIR, its NT path ("\??\Z:\home\ann"), which Wine sets anew in every
// process; HOME is not passed on, and a HOME that a parent put in a child's environment is not the
// one the shell uses.
using ToWindows = wchar_t*(CDECL*)(const char*);

ToWindows wineToWindows() {
    return reinterpret_cast<ToWindows>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
}

std::optional<std::wstring> wineHomeTrash() {
    const ToWindows toWindows = wineToWindows();
    if (!toWindows) return std::nullopt;
    const auto xdg = variable(L"XDG_DATA_HOME");
    if (!xdg || xdg->empty()) {
        constexpr std::wstring_view kNtPrefix = L"\\??\\";
        const auto home = variable(L"WINEHOMEDIR");
        if (!home || home->rfind(kNtPrefix, 0) != 0 ||
            !isDriveAbsolute(home->substr(kNtPrefix.size())))
            return std::nullopt;
        std::wstring trash = home->substr(kNtPrefix.size());
        if (trash.back() != L'\\') trash.push_back(L'\\');
        return trash + L".local\\share\\Trash\\files";
    }
    // Wine takes a Unix path in the Unix locale's encoding, its code page CP_UNIXCP.
    constexpr UINT kUnixCodePage = 65010;
    const int size =
        WideCharToMultiByte(kUnixCodePage, 0, xdg->c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::nullopt;
    std::string unixPath(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kUnixCodePage, 0, xdg->c_str(), -1, unixPath.data(), size, nullptr,
                        nullptr);
    unixPath.resize(static_cast<std::size_t>(size - 1));
    unixPath += "/Trash/files";
    wchar_t* windows = toWindows(unixPath.c_str());
    if (!windows) return std::nullopt;
    std::wstring out = windows;
    HeapFree(GetProcessHeap(), 0, windows);
    return out;
}

// True when the bin open at `bin` keeps, beside the data named `dataName` ("$R…"), the "$I" record
// that names `path` as the file's former place.
bool recordNames(HANDLE bin, std::wstring_view dataName, const std::wstring& path) {
    const std::wstring recordName = L"$I" + std::wstring(dataName.substr(2));
    DWORD error = 0;
    const ClosedAtEnd record(
        openInFolder(bin, recordName, FILE_READ_DATA | SYNCHRONIZE, FILE_SHARE_READ, false, error));
    if (record.handle == INVALID_HANDLE_VALUE) return false;
    // The largest record: the header and a path of 32,767 characters with its null.
    std::vector<std::byte> bytes(28 + 32768 * sizeof(wchar_t));
    DWORD got = 0;
    if (!ReadFile(record.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return false;
    bytes.resize(got);
    const auto recorded = recycledFrom(bytes);
    if (!recorded) return false;
    const std::wstring former(recorded->begin(), recorded->end());
    return CompareStringOrdinal(former.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The file index of what is open at `handle`, read without asking its volume who it is.
std::optional<std::uint64_t> fileIndexOf(HANDLE handle) {
    FILE_INTERNAL_INFORMATION index{};
    IO_STATUS_BLOCK status{};
    if (NtQueryInformationFile(handle, &status, &index, sizeof index, FileInternalInformation) < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(index.IndexNumber.QuadPart);
}

}  // namespace

std::wstring userSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const ClosedAtEnd closed(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::byte> user(size);
    wchar_t* text = nullptr;
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text))
        return {};
    std::wstring sid = text;
    LocalFree(text);
    return sid;
}

bool runsUnderWine() { return wineToWindows() != nullptr; }

void RecycleBins::clear() {
    for (const Bin& bin : bins_) CloseHandle(bin.handle);
    bins_.clear();
}

RecycleBins::Bin* RecycleBins::open(const std::wstring& path, bool windowsLayout, DWORD& error) {
    for (Bin& bin : bins_)
        if (bin.path == path) return &bin;
    const HANDLE handle = CreateFileW(
        extendedPath(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    // A bin that is itself a link would prove nothing of the volume's bin.
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(handle);
        error = ERROR_FILE_INVALID;
        return nullptr;
    }
    bins_.push_back({path, windowsLayout, handle, {}});
    return &bins_.back();
}

// Looks for the file in `bin`: true when it lies below it.
bool RecycleBins::foundIn(Bin& bin, std::uint64_t fileIndex, const std::wstring& path,
                          std::wstring_view name, DWORD& error) {
    // Wine's bin keeps the file's name (or adds a number to it): looked up by name first, as its
    // search by index reads every entry of the bin.
    if (!bin.windowsLayout) {
        DWORD openError = 0;
        const ClosedAtEnd named(openInFolder(bin.handle, name, FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             false, openError));
        if (named.handle != INVALID_HANDLE_VALUE && fileIndexOf(named.handle) == fileIndex) {
            error = 0;
            return true;
        }
    }
    FILE_ID_DESCRIPTOR id{};
    id.dwSize = sizeof id;
    id.Type = FileIdType;
    id.FileId.QuadPart = static_cast<LONGLONG>(fileIndex);
    const ClosedAtEnd found(
        OpenFileById(bin.handle, &id, FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
    if (found.handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    if (bin.finalPath.empty()) {
        const auto binPath = finalPath(bin.handle);
        if (!binPath) {
            error = GetLastError();
            return false;
        }
        bin.finalPath = *binPath;
    }
    const auto filePath = finalPath(found.handle);
    if (!filePath) {
        error = GetLastError();
        return false;
    }
    if (!isBelow(*filePath, bin.finalPath)) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (bin.windowsLayout) {
        // Directly in the user's bin, as "$R…", and recorded there as the listed file.
        const std::wstring_view dataName =
            std::wstring_view(*filePath).substr(bin.finalPath.size() + 1);
        if (dataName.find(L'\\') != std::wstring_view::npos || dataName.size() < 3 ||
            CompareStringOrdinal(dataName.data(), 2, L"$R", 2, TRUE) != CSTR_EQUAL ||
            !recordNames(bin.handle, dataName, path)) {
            error = ERROR_FILE_NOT_FOUND;
            return false;
        }
    }
    error = 0;
    return true;
}

bool RecycleBins::contains(const std::wstring& path, std::uint64_t fileIndex, DWORD& error) {
    if (!wineTrashKnown_) {
        wineTrash_ = wineHomeTrash().value_or(std::wstring());
        sid_ = userSid();
        wineTrashKnown_ = true;
    }
    const std::size_t slash = path.rfind(L'\\');
    if (!isDriveAbsolute(path) || slash == std::wstring::npos) {
        error = ERROR_BAD_PATHNAME;
        return false;
    }
    const std::wstring_view name = std::wstring_view(path).substr(slash + 1);
    // Wine's bin first: under Wine that is where the shell puts the file, and the volume's own
    // bin is missing, or not Wine's.
    const std::wstring windowsBin =
        sid_.empty() ? std::wstring() : path.substr(0, 3) + L"$Recycle.Bin\\" + sid_;
    for (const auto& [binPath, windowsLayout] :
         {std::pair{wineTrash_, false}, std::pair{windowsBin, true}}) {
        if (binPath.empty()) continue;
        if (Bin* bin = open(binPath, windowsLayout, error);
            bin && foundIn(*bin, fileIndex, path, name, error))
            return true;
    }
    error = ERROR_FILE_NOT_FOUND;
    return false;
}

}  // namespace kelmora::platform::win32
