// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string_view>

#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {

// Whether the folder `st` may lie on the way to what `user` puts in a trash: a real folder owned
// by `user` or root to which no one else may add or take names. Neither group nor others may have
// the write bit, the sticky bit notwithstanding: a trash has no business below a folder that
// anyone may fill, and with POSIX ACLs the group bits show the mask, so a named user's or group's
// write right shows there too.
bool isTrustedFolder(const struct stat& st, uid_t user);

// The same for the folder open at `fd`: 0, EPERM for one that is not trusted, or the errno of
// fstat.
int checkTrustedFolder(int fd, uid_t user);

// Opens the folder `below` under `base` from "/" one name at a time with O_NOFOLLOW, so that no
// link is followed anywhere, and checks each folder, "/" included, with isTrustedFolder before it
// looks into it; the last one is checked too. The folders of `below` are made (0700) when missing;
// those of `base` must exist. Returns an O_PATH descriptor of the last folder, or nothing with
// `error` set: ENOTDIR for a link or something other than a folder on the way, EPERM for a folder
// that is not trusted, EINVAL for a path that is not absolute or holds "." or "..", else as the
// system gives it.
std::optional<UniqueFd> openTrustedFolder(std::string_view base, std::string_view below, uid_t user,
                                          int& error);

}  // namespace kelmora::platform::posix
