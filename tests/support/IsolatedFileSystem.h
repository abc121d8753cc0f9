// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "platform/FileSystem.h"

namespace kelmora::test {

// The real file system of this platform, cut off from the machine's own facts: no mount table, no
// user trash, no package database. For tests that scan temporary folders with the real listing.
std::unique_ptr<platform::FileSystem> makeIsolatedFileSystem();

}  // namespace kelmora::test
