// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

namespace kelmora::platform::win32 {

// Opens `folder` (a path that ends in the separator) as the walk opens a folder to list it: the
// folder itself, never what a link or junction at its name points to, with the rights a listing
// needs. INVALID_HANDLE_VALUE when it cannot be opened (access denied, gone, in use, ...).
HANDLE openFolderToList(const std::wstring& folder);

// Decides, for a scan listed from a volume's master file table, whether the walk could have
// opened a folder, without opening every folder (which costs as much as the walk itself): where
// the walk passes over a folder that it cannot open, the table must not list that folder either.
//
// Whether a folder can be opened to be listed depends on the process's token and the folder's
// own security descriptor: the rights asked (list, read attributes, synchronize) are checked
// against that descriptor alone when traverse checking is bypassed (the privilege that everyone
// holds by default; read attributes is granted anyway by the right to list the parent, which the
// walk had, as it listed it). NTFS keeps one descriptor for all the files of one security ID. So
// the first folder of each security ID is opened, and when it opens, its ID's descriptor lets
// every folder of that ID be listed: those are not opened again. When it does not open, the
// reason may be the folder's own (in use without sharing, being deleted) rather than the
// descriptor's, so every folder of that ID is then opened itself; so is a folder of no known ID,
// and every folder when the process does not bypass traverse checking (then the folders above
// count too).
//
// What this cannot see, and the walk would: a folder of a granted ID that is held open without
// sharing by another program, or is being deleted, at the moment the walk would have opened it.
// Both are passing states of the disk, of the kind a snapshot of the table does not follow
// anyway; the removal checks every file on the disk before it acts.
class ListableFolders {
  public:
    // True when the folder opens as the walk opens it.
    using Opener = std::function<bool(const std::wstring& folder)>;

    // Opens with openFolderToList; shares answers by security ID only where the process
    // bypasses traverse checking.
    ListableFolders();
    // For tests: `open` answers in place of the disk.
    ListableFolders(Opener open, bool bypassTraverse);

    // Whether the walk could list `folder`, whose security ID is `securityId` (0: none known).
    bool mayList(const std::wstring& folder, std::uint32_t securityId);

  private:
    Opener open_;
    bool shareById_;
    std::unordered_set<std::uint32_t> granted_;  // IDs whose first folder opened
    std::unordered_set<std::uint32_t> tried_;    // IDs whose first folder did not
};

// True when the process's token holds the privilege to bypass traverse checking, enabled.
bool bypassesTraverseChecking();

}  // namespace kelmora::platform::win32
