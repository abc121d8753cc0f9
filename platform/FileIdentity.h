// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/NativeString.h"

namespace kelmora::platform {

// Which life of an identity's number a file is. Some file systems hand a freed number to the next
// new file at once (ext4 does, the way an editor rewrites its backup file), so a number alone may
// name a file made after the scan; the witness tells the two lives apart. Its words mean what its
// kind says, and two witnesses are equal only with the same kind and words, so the listing and the
// removal of one platform must fill them the same way.
struct LifeWitness {
    enum class Kind : std::uint8_t {
        None,          // nothing beyond the number: it carries its own reuse counter, or unknown
        BirthTime,     // the file's creation time: seconds, nanoseconds
        Generation,    // the inode's generation number
        SizeAndTimes,  // size, last write time and change time, where there is nothing better
    };
    Kind kind = Kind::None;
    std::array<std::uint64_t, 3> words{};

    bool operator==(const LifeWitness&) const = default;
};

// Who a file or folder is, whatever path reaches it: (device, inode) on POSIX, (volume serial
// number, file ID) on Windows, with the witness of that number's life. Two names with equal
// identities are the same file, so a check by identity holds where path text can be respelled
// through links, bind mounts or renames.
struct FileIdentity {
    std::uint64_t device = 0;  // st_dev; the volume serial number on Windows
    std::uint64_t inode = 0;   // st_ino; the 64-bit file index on Windows
    LifeWitness life;

    bool operator==(const FileIdentity&) const = default;
    // The same number on the same device, whichever life: what a folder listing can tell.
    bool sameNumber(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
};

// Hashes identities by their number, for sets of files known by identity.
struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const noexcept {
        return static_cast<std::size_t>(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
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
