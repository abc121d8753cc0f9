// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>

namespace kelmora::platform::posix {

// Copies the regular file open for reading at `source` (whose fstat is `st`) into the empty file
// open for writing at `target`: its data, holes kept where the source system reports them
// (SEEK_DATA), its permission bits (set-user-ID, set-group-ID and sticky dropped, so that a copy
// made by root never becomes a privileged program), its extended attributes with its POSIX access
// ACL (not those under security.*: labels and file capabilities), its access and modification
// times and, when run as root, its owner and group. Then flushes the copy to disk. Returns 0, or
// the errno of the first step that failed: ENOSPC when the target's file system is full,
// EOPNOTSUPP when it cannot keep an attribute or the ACL, so that no copy is ever readable by
// anyone the original kept out. The target is then left as far as it got, for the caller to
// remove.
int copyFile(int source, const struct stat& st, int target);

}  // namespace kelmora::platform::posix
