// SPDX-License-Identifier: MIT
#include "platform/win32/Win32FileRemover.h"

#include <windows.h>

#include <optional>
#include <string_view>
#include <utility>

#include "platform/win32/FolderChain.h"
#include "platform/win32/OpenInFolder.h"
#include "platform/win32/RecycleBinCheck.h"
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
    OpenHandle() = default;
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;
    ~OpenHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

// The path's folder (ending in the separator only for a drive's root, "C:\") and the file's name.
std::pair<std::wstring, std::wstring_view> folderAndName(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    const std::size_t folderEnd = slash == 2 && path.size() > 1 && path[1] == L':' ? 3 : slash;
    return {path.substr(0, folderEnd), std::wstring_view(path).substr(slash + 1)};
}

// Opens `name` in the checked folder open at `folder` (on the volume `volume`), with `access`,
// and checks that it is the listed regular file: nothing when it is (its attributes in
// `attributes`), else the outcome.
std::optional<RemoveResult> openListed(HANDLE folder, std::uint64_t volume, std::wstring_view name,
                                       const ListedFile& listed, ACCESS_MASK access,
                                       OpenHandle& opened, DWORD& attributes) {
    DWORD error = 0;
    opened.handle = openInFolder(
        folder, name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false, error);
    if (opened.handle == INVALID_HANDLE_VALUE)
        return isNotFound(error) ? RemoveResult{RemoveOutcome::AlreadyGone, 0} : refused(error);
    FileFacts facts;
    const auto identity = identityOnVolume(opened.handle, volume, error, &facts.attributes);
    if (!identity) return refused(error);
    if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {  // which kind, only when it is one
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!GetFileInformationByHandleEx(opened.handle, FileAttributeTagInfo, &tag, sizeof tag))
            return refused(GetLastError());
        facts.reparseTag = tag.ReparseTag;
    }
    if (!facts.isRegularFile()) return refused(ERROR_NOT_SUPPORTED);
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

Win32FileRemover::Win32FileRemover(std::unique_ptr<BinShell> shell, BinKeys keys)
    : shell_(shell ? std::move(shell) : std::make_unique<ShellRecycler>()), keys_(keys) {}

Win32FileRemover::~Win32FileRemover() = default;

void Win32FileRemover::finishBatch() {
    folders_.clear();
    held_.clear();
    bins_.clear();
    settings_.clear();
    shell_->forget();
}

RemoveResult Win32FileRemover::deleteFile(const ListedFile& file) {
    // Windows allows neither in a name; a path with them is never a pattern here.
    if (file.path.find_first_of(L"*?") != std::wstring::npos) return refused(ERROR_INVALID_NAME);
    const auto [folder, name] = folderAndName(file.path);
    if (name.empty()) return refused(ERROR_BAD_PATHNAME);
    if (const DWORD error = folders_.reach(folder, file.folder); error != 0)
        return isNotFound(error) ? RemoveResult{RemoveOutcome::AlreadyGone, 0} : refused(error);
    OpenHandle opened;
    DWORD attributes = 0;
    if (auto early = openListed(folders_.folder(), folders_.volume(), name, file,
                                DELETE | FILE_READ_ATTRIBUTES, opened, attributes))
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
    // The folders stay held at least until the outcome is known (until the batch ends), so the
    // path the shell is given reaches the checked folder, and the file found there is the listed
    // one.
    const auto [folder, name] = folderAndName(file.path);
    if (name.empty()) return refused(ERROR_BAD_PATHNAME);
    if (const DWORD error = held_.reach(folder, file.folder); error != 0)
        return isNotFound(error) ? RemoveResult{RemoveOutcome::AlreadyGone, 0} : refused(error);
    // Checked, and held open until the outcome is known: a handle that reads no data and may not
    // delete takes no part in sharing, so the shell still moves the file, but the file cannot be
    // freed meanwhile, and no other file can take its index, by which it is found afterwards.
    //
    // What remains: the shell takes the path, not this handle. Between this check and the shell's
    // own open of the path, someone who may write the held folder can rename the listed file away
    // and put another at its name, or, once the folder is empty, make the folder a junction (the
    // held folders can be neither renamed nor deleted, but a folder's reparse point needs no delete
    // access); the shell then recycles what the path reaches. That move cannot be prevented from
    // here, but it is never reported: only the listed file found in the bin counts as moved.
    OpenHandle opened;
    DWORD attributes = 0;
    if (auto early = openListed(held_.folder(), held_.volume(), name, file, FILE_READ_ATTRIBUTES,
                                opened, attributes))
        return *early;
    // Where the shell would delete for good, it is not asked. The system's settings may still
    // change between this look and the shell's call, and the shell decides anew: its own refusal of
    // any erasure (ShellRecycler) is the second guard.
    const std::wstring root = folder.substr(0, 3);
    auto settings = settings_.find(root);
    if (settings == settings_.end())
        settings = settings_.emplace(root, readBinSettings(root, keys_, !runsUnderWine())).first;
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(opened.handle, FileStandardInfo, &standard, sizeof standard))
        return refused(GetLastError());
    if (const DWORD why = recycleRefusal(settings->second,
                                         static_cast<std::uint64_t>(standard.EndOfFile.QuadPart)))
        return refused(why);
    const HRESULT hr = shell_->recycle(file.path);
    // A refused or failed move mostly left it where it was (looking in the bin first would read
    // the whole of Wine's bin for a file that is not in it).
    if (FAILED(hr) && stillThere(file.path)) return refusedBy(hr);
    // The listed file must now lie in the bin; its folder is not yet moved. Whatever lies at its
    // path then is another file. (Looked at only when it is not in the bin: under Wine looking for
    // a name that is gone reads the whole folder.)
    DWORD error = 0;
    if (bins_.contains(file.path, file.file.inode, error)) return {RemoveOutcome::Removed, 0};
    if (stillThere(file.path)) return refusedBy(FAILED(hr) ? hr : E_FAIL);
    return refusedBy(FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

}  // namespace kelmora::platform::win32
