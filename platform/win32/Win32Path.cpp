// SPDX-License-Identifier: MIT
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {

bool isDriveAbsolute(std::wstring_view path) {
    return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

std::wstring extendedPath(const std::wstring& path) {
    return isDriveAbsolute(path) ? L"\\\\?\\" + path : path;
}

std::optional<FileFacts> readFileFacts(const std::wstring& path, DWORD& error) {
    if (path.find_first_of(L"*?") != std::wstring::npos) {
        error = ERROR_INVALID_NAME;
        return std::nullopt;
    }
    // A search for the exact name reads the entry itself, link or not, with its reparse tag and
    // size, in one call and without opening the file.
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileExW(extendedPath(path).c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return std::nullopt;
    }
    FindClose(find);
    FileFacts facts;
    facts.attributes = data.dwFileAttributes;
    facts.reparseTag =
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
    facts.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow);
    error = 0;
    return facts;
}

}  // namespace kelmora::platform::win32
