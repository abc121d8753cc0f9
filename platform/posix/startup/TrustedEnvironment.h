// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/shared/Account.h"

namespace kelmora::platform::posix {

// True when the environment may belong to someone other than the process: it runs as root, with
// set-user or set-group rights, or as a user who does not own the folder $HOME names (as after
// `sudo -E`, `su -m` or `su -p`, which keep the caller's HOME and XDG_* variables).
bool environmentIsForeign(uid_t effectiveUser, uid_t realUser, gid_t effectiveGroup,
                          gid_t realGroup, const char* home);

// The variables of `entries` ("NAME=value", as environ holds them) that such a process keeps: what
// reaches the display, its session bus and names the language, and nothing else. Whatever names a
// file or folder that a library reads code or configuration from (plug-in and module paths, rpm's
// and Qt's configuration, XDG base folders, font, locale and converter paths) is dropped, and so is
// a language name with a "/" in it, which the C library reads as a path. HOME, USER and LOGNAME
// become the account's own, PATH the system's programs' folders.
std::vector<std::string> trustedEnvironment(const std::vector<std::string_view>& entries,
                                            const Account& account);

// Replaces the process's environment with trustedEnvironment() when environmentIsForeign(), so
// that every library the program loads, and every program it starts, reads its files from the
// account's own home and the system's folders. Call it first in main(), before any thread starts
// and before any library reads its environment; it changes nothing for a user in their own
// environment.
void keepOnlyTrustedEnvironment();

}  // namespace kelmora::platform::posix
