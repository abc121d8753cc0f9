// SPDX-License-Identifier: MIT
#include "platform/win32/FolderChain.h"

#include "platform/win32/OpenInFolder.h"
#include "platform/win32/Win32Identity.h"
#include "platform/win32/Win32Path.h"

#include <optional>

namespace kelmora::platform::win32 {
namespace {

constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// 0 when the entry open at `handle` is a folder and no link, else why not.
DWORD folderNoLink(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return GetLastError();
    FileFacts facts;
    facts.attributes = tag.FileAttributes;
    facts.reparseTag = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? tag.ReparseTag : 0;
    return facts.isFolder() && !facts.isLink() ? 0 : ERROR_FILE_INVALID;
}

}  // namespace

void FolderChain::clear() {
    for (const Link& link : links_) CloseHandle(link.handle);
    links_.clear();
    checked_ = false;
}

DWORD FolderChain::reach(const std::wstring& folder, const FileIdentity& expected) {
    if (checked_ && links_.back().path == folder && checkedId_ == expected) return 0;
    checked_ = false;
    DWORD error = extend(folder);
    if (error == 0) {
        const auto id = links_.size() == 1 ? std::optional<FileIdentity>(rootId_)
                                           : identityOnVolume(links_.back().handle, volume_, error);
        if (id && *id != expected) error = ERROR_FILE_INVALID;
    }
    if (error != 0) {
        clear();
        return error;
    }
    checked_ = true;
    checkedId_ = expected;
    return 0;
}

DWORD FolderChain::extend(const std::wstring& folder) {
    if (!isDriveAbsolute(folder) || (folder.size() > 3 && folder.back() == L'\\'))
        return ERROR_BAD_PATHNAME;
    // The folders shared with the chain as it is stay open; the rest go.
    std::size_t kept = 0;
    while (kept < links_.size()) {
        const std::wstring& path = links_[kept].path;
        const bool prefix =
            folder.compare(0, path.size(), path) == 0 &&
            (folder.size() == path.size() || path.size() == 3 || folder[path.size()] == L'\\');
        if (!prefix) break;
        ++kept;
    }
    for (std::size_t i = kept; i < links_.size(); ++i) CloseHandle(links_[i].handle);
    links_.resize(kept);

    if (links_.empty()) {
        // The volume's root, by its path: the one place where the volume is asked who it is.
        const std::wstring root = folder.substr(0, 3);
        const HANDLE handle =
            CreateFileW(extendedPath(root).c_str(), kFolderAccess, share_, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return GetLastError();
        links_.push_back({root, handle});
        DWORD error = 0;
        const auto id = identityOfHandle(handle, error);
        if (!id) return error;
        rootId_ = *id;
        volume_ = id->device;
    }
    // Each folder below the last one kept, in the one before.
    for (std::size_t start = links_.back().path.size() + (links_.size() == 1 ? 0 : 1);
         start < folder.size();) {
        std::size_t end = folder.find(L'\\', start);
        if (end == std::wstring::npos) end = folder.size();
        const std::wstring_view name(folder.data() + start, end - start);
        if (name.empty() || name == L"." || name == L"..") return ERROR_BAD_PATHNAME;
        DWORD error = 0;
        const HANDLE handle =
            openInFolder(links_.back().handle, name, kFolderAccess, share_, true, error);
        if (handle == INVALID_HANDLE_VALUE) return error;
        links_.push_back({folder.substr(0, end), handle});
        if ((error = folderNoLink(handle)) != 0) return error;
        start = end + 1;
    }
    return 0;
}

}  // namespace kelmora::platform::win32
