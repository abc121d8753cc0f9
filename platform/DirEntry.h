#pragma once

#include <cstdint>

#include "platform/FileIdentity.h"
#include "platform/NativeString.h"

namespace kelmora::platform {

// What kind of thing a listed name is, as far as the scan cares.
enum class EntryType : std::uint8_t {
    File,    // a regular file: the only kind the scan may list
    Folder,  // a folder, or a link to one (then marked system, so it is never entered)
    Other,   // links to files, sockets, FIFOs, devices: never listed, never entered
};

// One name of a folder listing, in neutral form.
struct DirEntry {
    NativeString name;  // the name alone, in native form, exactly as the platform returned it
    EntryType type = EntryType::Other;
    bool hidden = false;  // Windows' hidden attribute; a leading "." on POSIX
    bool system = false;  // Windows' system attribute; on POSIX the folders never to enter
    FileIdentity id;      // who the entry is, as far as the listing tells (see FileSystem::list)
};

}  // namespace kelmora::platform
