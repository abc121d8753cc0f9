#include "platform/win32/HeldFolders.h"

#include "platform/win32/Win32Identity.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {
namespace {

bool driveAbsolute(const std::wstring& path) {
    return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

// Opens the folder at `path` itself and tells whether it is a folder and no link; its identity
// in `id`. The handle, when one was opened, is in `handle` either way.
DWORD openFolder(const std::wstring& path, HANDLE& handle, FileIdentity& id) {
    handle = CreateFileW(extendedPath(path).c_str(),
                         FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return GetLastError();
    FileFacts facts;
    facts.attributes = tag.FileAttributes;
    facts.reparseTag = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? tag.ReparseTag : 0;
    if (!facts.isFolder() || facts.isLink()) return ERROR_FILE_INVALID;
    DWORD error = 0;
    const auto identity = identityOfHandle(handle, error);
    if (!identity) return error;
    id = *identity;
    return 0;
}

}  // namespace

std::optional<HeldFolders> HeldFolders::hold(const ListedFile& file, DWORD& error) {
    const std::wstring& path = file.path;
    const std::size_t last = path.rfind(L'\\');
    if (!driveAbsolute(path) || last == std::wstring::npos || last + 1 == path.size()) {
        error = ERROR_BAD_PATHNAME;
        return std::nullopt;
    }
    HeldFolders held;
    // The volume's root ("C:\"), then each folder below it, up to the file's own.
    for (std::size_t end = 2; end <= last; end = path.find(L'\\', end + 1)) {
        const std::wstring folder = end == 2 ? path.substr(0, 3) : path.substr(0, end);
        if (end > 2) {
            const std::size_t start = path.rfind(L'\\', end - 1) + 1;
            const std::wstring_view name(path.data() + start, end - start);
            if (name.empty() || name == L"." || name == L"..") {
                error = ERROR_BAD_PATHNAME;
                return std::nullopt;
            }
        }
        HANDLE handle = INVALID_HANDLE_VALUE;
        FileIdentity id;
        error = openFolder(folder, handle, id);
        if (handle != INVALID_HANDLE_VALUE) held.handles_.push_back(handle);
        if (error == 0 && (end == last ? id != file.folder : id.device != file.folder.device))
            error = ERROR_FILE_INVALID;
        if (error != 0) return std::nullopt;
        if (end == last) break;
    }
    return held;
}

HeldFolders::~HeldFolders() {
    for (HANDLE handle : handles_) CloseHandle(handle);
}

}  // namespace kelmora::platform::win32
