#include "platform/win32/Win32FileRemover.h"

#include <windows.h>

#include "platform/win32/HeldFolders.h"
#include "platform/win32/ShellRecycle.h"
#include "platform/win32/Win32Identity.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {
namespace {

RemoveResult refused(DWORD error) { return {RemoveOutcome::Refused, static_cast<int>(error)}; }

RemoveResult refusedBy(HRESULT result) {
    return {RemoveOutcome::Refused, static_cast<int>(result)};
}

// Closes a handle when it goes out of scope.
struct OpenHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~OpenHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

// Opens the entry at the listed path itself, with `access`, and checks that it is the listed
// regular file: nothing when it is (its attributes in `attributes`), else the outcome.
std::optional<RemoveResult> openListed(const ListedFile& listed, DWORD access, OpenHandle& opened,
                                       DWORD& attributes) {
    // Windows allows neither in a name; a path with them is never a pattern here.
    if (listed.path.find_first_of(L"*?") != std::wstring::npos) return refused(ERROR_INVALID_NAME);
    opened.handle =
        CreateFileW(extendedPath(listed.path).c_str(), access,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened.handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return isNotFound(error) ? RemoveResult{RemoveOutcome::AlreadyGone, 0} : refused(error);
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(opened.handle, FileAttributeTagInfo, &tag, sizeof tag))
        return refused(GetLastError());
    FileFacts facts;
    facts.attributes = tag.FileAttributes;
    facts.reparseTag = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? tag.ReparseTag : 0;
    if (!facts.isRegularFile()) return refused(ERROR_NOT_SUPPORTED);
    DWORD error = 0;
    const auto identity = identityOfHandle(opened.handle, error);
    if (!identity) return refused(error);
    if (*identity != listed.file) return refused(ERROR_FILE_INVALID);
    attributes = facts.attributes;
    return std::nullopt;
}

bool stillThere(const std::wstring& path) {
    return GetFileAttributesW(extendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES ||
           !isNotFound(GetLastError());
}

// True when the shell, which takes a path in its ordinary form, would reach the very name listed:
// the system's path parsing trims a final dot or blank from a name and resolves "." and "..",
// which would name another file. Such a name is reached only in its long form ("\\?\").
bool shellReachesAsIs(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return false;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(written);
    return full == path;
}

}  // namespace

RemoveResult Win32FileRemover::deleteFile(const ListedFile& file) {
    OpenHandle opened;
    DWORD attributes = 0;
    if (auto early = openListed(file, DELETE | FILE_READ_ATTRIBUTES, opened, attributes))
        return *early;
    // Without force: a read-only file is the user's or a program's wish to keep it.
    if (attributes & FILE_ATTRIBUTE_READONLY) return refused(ERROR_ACCESS_DENIED);
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(opened.handle, FileDispositionInfo, &disposition,
                                    sizeof disposition))
        return refused(GetLastError());
    return {RemoveOutcome::Removed, 0};  // the name goes when the handle closes, here
}

RemoveResult Win32FileRemover::moveToTrash(const ListedFile& file) {
    if (file.path.find_first_of(L"*?") != std::wstring::npos) return refused(ERROR_INVALID_NAME);
    if (!shellReachesAsIs(file.path)) return refused(ERROR_INVALID_NAME);
    // The folders stay held until the outcome is known, so the path the shell is given reaches
    // the checked folder, and the file found there is the listed one.
    DWORD error = 0;
    const auto held = HeldFolders::hold(file, error);
    if (!held) {
        if (isNotFound(error)) return {RemoveOutcome::AlreadyGone, 0};
        return refused(error);
    }
    {  // checked, then closed: the shell opens the file itself
        OpenHandle opened;
        DWORD attributes = 0;
        if (auto early = openListed(file, FILE_READ_ATTRIBUTES, opened, attributes)) return *early;
    }
    const HRESULT hr = recycleWithShell(file.path);
    // The file's presence is the last word: a refused or failed move left it where it was.
    if (stillThere(file.path)) return refusedBy(FAILED(hr) ? hr : E_FAIL);
    return {RemoveOutcome::Removed, 0};
}

}  // namespace kelmora::platform::win32
