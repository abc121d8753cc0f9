// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace kelmora::platform::posix {

// Whom a program started by root must belong to, and where paths start.
struct ProgramTrust {
    uid_t owner = 0;         // the one owner allowed for the program and everything on its way
    std::string root = "/";  // the folder that absolute paths, and absolute links, start from
};

// What a program that this process starts must be trusted by: root's ownership when the process
// runs as root, so that nothing another user could have put in place runs with root's rights;
// nothing otherwise.
std::optional<ProgramTrust> trustForThisProcess();

// The folders a program started by root is looked for in, in this order: the system's own, never
// the caller's PATH, which whoever started the program may have set.
inline constexpr const char* kSystemProgramFolders =
    "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

// Opens the program at the absolute `path` for starting, as an O_PATH descriptor (close-on-exec),
// when nobody but `trust.owner` can have put it there or changed it: the root folder, every
// folder on the way and the program belong to the owner and none of them is writable by group
// or others; the program is a regular file with an execute bit. Links on the way are followed
// (Debian's /bin is one) when they belong to the owner too, 40 at most. Every name is resolved
// relative to the descriptor of the folder checked before it, and the checks are made on the
// opened descriptors, so what is checked is what is opened. Returns -1 with errno set otherwise
// (EPERM for an owner or mode that fails the check).
int openTrustedProgram(const std::string& path, const ProgramTrust& trust);

}  // namespace kelmora::platform::posix
