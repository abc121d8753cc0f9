#pragma once

#include <functional>
#include <string>

#include "platform/FileSystem.h"

namespace kelmora::platform::win32 {

// The file system of Windows, read with FindFirstFileExW/FindNextFileW over "folder\*".
//
// Traversal policy, the Windows meaning of the scan's attributes:
// - hidden and system are the entries' own FILE_ATTRIBUTE_HIDDEN and FILE_ATTRIBUTE_SYSTEM;
// - a folder that is a name-surrogate reparse point (symbolic link, junction, mount point) is also
//   marked system, so the walk never leaves the tree through one nor circles through a cycle;
//   other reparse points (cloud-file placeholders and the like) are entered like any folder;
// - File is a file that is no link and no device; a link to a file is Other.
// Sizes are 64-bit and read from the entry itself, never through a link.
class Win32FileSystem : public FileSystem {
  public:
    // Tells whether Windows Resource Protection guards the file at a full path.
    using ProtectionCheck = std::function<bool(const std::wstring& path)>;

    // Asks SfcIsFileProtected of sfc.dll, loaded on first use; no protection where it is missing.
    Win32FileSystem();
    // For tests: `isProtected` answers in place of Windows Resource Protection.
    explicit Win32FileSystem(ProtectionCheck isProtected);

    bool list(const NativeString& folder, std::vector<DirEntry>& out) override;
    std::optional<std::int64_t> fileSize(const NativeString& path) override;
    bool isProtected(const NativeString& path) override;

  private:
    ProtectionCheck isProtected_;
};

// Windows Resource Protection's answer for the file at `path`, from SfcIsFileProtected of sfc.dll
// (loaded on the first call, kept for the process); false when sfc.dll or the function is missing.
bool isFileGuardedBySystem(const std::wstring& path);

// The neutral form of one found entry: its name, kind and scan attributes.
DirEntry toDirEntry(const std::wstring& name, unsigned long attributes, unsigned long reparseTag);

}  // namespace kelmora::platform::win32
