// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "platform/FileIdentity.h"
#include "platform/NativeString.h"

namespace kelmora::platform {

// What kind of thing a listed name is, as far as the scan cares.
enum class EntryType : std::uint8_t {
    File,    // a regular file: the only kind the scan may list
    Folder,  // a folder; on Windows also a folder link, which is then marked system
    Other,   // links (on POSIX to anything), sockets, FIFOs, devices: never listed, never entered
};

// One name of a folder listing, in neutral form.
struct DirEntry {
    NativeString name;  // the name alone, in native form, exactly as the platform returned it
    EntryType type = EntryType::Other;
    bool hidden = false;  // Windows' hidden attribute; a leading "." on POSIX
    bool system = false;  // Windows' system attribute; on POSIX the folders never to enter
    // Who the entry is. For a folder to enter, the identity that opening it must find again (see
    // FileSystem::list), which may be its number alone, compared by sameNumber; for other entries
    // what the listing tells, which may be zero.
    FileIdentity id;
    // A file's size in bytes where the listing itself reports it (Windows), else -1.
    std::int64_t size = -1;
};

}  // namespace kelmora::platform
