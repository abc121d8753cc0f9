// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileIdentity.h"

namespace kelmora::test {

// The file at `path` as a scan would list it now: the path with the identities of the file and of
// its folder, read from the entries themselves (never through a link at the end), also for paths
// longer than the system's path limit. Identities stay zero where the entry cannot be read.
platform::ListedFile listedFileOf(const NativeString& path);

}  // namespace kelmora::test
