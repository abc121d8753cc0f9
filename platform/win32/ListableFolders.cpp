// SPDX-License-Identifier: MIT
#include "platform/win32/ListableFolders.h"

#include <vector>

#include "platform/win32/ClosedAtEnd.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {

HANDLE openFolderToList(const std::wstring& folder) {
    return CreateFileW(
        extendedPath(folder).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool bypassesTraverseChecking() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const ClosedAtEnd closer(token);
    LUID privilege{};
    if (!LookupPrivilegeValueW(nullptr, SE_CHANGE_NOTIFY_NAME, &privilege)) return false;
    PRIVILEGE_SET asked{};
    asked.PrivilegeCount = 1;
    asked.Control = PRIVILEGE_SET_ALL_NECESSARY;
    asked.Privilege[0].Luid = privilege;
    BOOL held = FALSE;
    return PrivilegeCheck(token, &asked, &held) && held;
}

ListableFolders::ListableFolders()
    : ListableFolders(
          [](const std::wstring& folder) {
              return ClosedAtEnd(openFolderToList(folder)).handle != INVALID_HANDLE_VALUE;
          },
          bypassesTraverseChecking()) {}

ListableFolders::ListableFolders(Opener open, bool bypassTraverse)
    : open_(std::move(open)), shareById_(bypassTraverse) {}

bool ListableFolders::mayList(const std::wstring& folder, std::uint32_t securityId) {
    if (!shareById_ || securityId == 0 || tried_.count(securityId)) return open_(folder);
    if (granted_.count(securityId)) return true;
    const bool opened = open_(folder);
    (opened ? granted_ : tried_).insert(securityId);
    return opened;
}

}  // namespace kelmora::platform::win32
