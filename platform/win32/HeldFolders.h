#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "platform/FileIdentity.h"

namespace kelmora::platform::win32 {

// The folders from a volume's root down to a listed file's folder, each opened by itself (never
// what a link or junction at its name points to) and checked, and held open for as long as this
// lives. The handles read the folders (FILE_LIST_DIRECTORY) and share everything but deletion, so
// that no folder on the path can be renamed, deleted, or replaced by a junction meanwhile: until
// release, the path names the same folders, and a call that takes the path instead of a handle,
// as the shell's do, reaches the checked folder.
//
// Each folder must be a folder, no link, on the listed folder's volume; the last one must be the
// listed folder itself (ListedFile::folder, witness included). Only drive-absolute paths ("C:\...")
// are held; a path with an empty, "." or ".." part names no listed file.
class HeldFolders {
  public:
    // Opens and checks the folders of `file`'s path; nothing when one cannot be opened or is not
    // what it must be, with the system's error code in `error` (ERROR_FILE_INVALID for a folder
    // that is not the listed one, ERROR_BAD_PATHNAME for a path of another form).
    static std::optional<HeldFolders> hold(const ListedFile& file, DWORD& error);

    HeldFolders(HeldFolders&& other) noexcept : handles_(std::move(other.handles_)) {
        other.handles_.clear();
    }
    HeldFolders& operator=(HeldFolders&&) = delete;
    HeldFolders(const HeldFolders&) = delete;
    HeldFolders& operator=(const HeldFolders&) = delete;
    ~HeldFolders();

  private:
    HeldFolders() = default;
    std::vector<HANDLE> handles_;  // root first
};

}  // namespace kelmora::platform::win32
