// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileIdentity.h"

namespace kelmora::platform::win32 {

// Open folders from a volume's root down to one folder: the root by its path, each folder below
// it in the one before (openInFolder: never what a link or junction points to, never on another
// volume), each checked to be a folder and no link, the last one against the identity it must
// have. Files are then opened in the last folder, which is the checked folder whatever becomes of
// its path meanwhile.
//
// The chain keeps its folders open until it is cleared or reaches another folder, and reaching
// the next folder opens only what is not shared with the chain before: a run of files in one
// folder, or in neighbouring folders, pays for each folder once. Only the root is asked for its
// volume's serial number (slow under Wine, a round trip to another process); the folders below
// it are on its volume.
//
// `share` is every handle's share mode. Without FILE_SHARE_DELETE the chain holds its folders:
// none can be renamed, deleted or replaced by a junction while it is open, so a call that takes
// the path instead of a handle, as the shell's do, reaches the checked folder. The handles read
// the folders (FILE_LIST_DIRECTORY), which is what makes the share mode count.
class FolderChain {
  public:
    explicit FolderChain(ULONG share) : share_(share) {}
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;
    ~FolderChain() { clear(); }

    // Makes the chain end at `folder` (a drive-absolute path, "C:\" for a root, no separator at
    // the end otherwise) and checks that folder against `expected` (witness included). 0 when it
    // is the expected folder; otherwise the system's error code (ERROR_FILE_INVALID for a folder
    // that is not the expected one or not a folder, ERROR_BAD_PATHNAME for a path of another
    // form, or an empty, "." or ".." name in it), and the chain is empty.
    DWORD reach(const std::wstring& folder, const FileIdentity& expected);
    // The chain's last folder and its volume's serial number, once reach() succeeded.
    HANDLE folder() const { return links_.back().handle; }
    std::uint64_t volume() const { return volume_; }
    // Closes every folder.
    void clear();

  private:
    struct Link {
        std::wstring path;  // the folder's path, as reach() was given it
        HANDLE handle;
    };
    DWORD extend(const std::wstring& folder);

    ULONG share_;
    std::vector<Link> links_;  // root first
    std::uint64_t volume_ = 0;
    FileIdentity rootId_;
    bool checked_ = false;  // the last folder was found to be the expected one
    FileIdentity checkedId_;
};

}  // namespace kelmora::platform::win32
