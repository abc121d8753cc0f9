#pragma once

#include <cstdint>

#include "platform/NativeString.h"

namespace kelmora::platform {

// Who a file or folder is, whatever path reaches it: (device, inode) on POSIX, (volume serial
// number, file ID) on Windows. Two names with equal identities are the same file, so a check by
// identity holds where path text can be respelled through links, bind mounts or renames.
struct FileIdentity {
    std::uint64_t device = 0;  // st_dev; the volume serial number on Windows
    std::uint64_t inode = 0;   // st_ino; the 64-bit file index on Windows

    bool operator==(const FileIdentity&) const = default;
};

// A file as a scan listed it: its full native path, its own identity and the identity of the
// folder that listed it. Removal acts on exactly this file and refuses anything else found at the
// path later.
struct ListedFile {
    NativeString path;
    FileIdentity file;
    FileIdentity folder;
};

}  // namespace kelmora::platform
