// SPDX-License-Identifier: MIT
#include "tests/support/IsolatedFileSystem.h"

#include "platform/posix/listing/PosixFileSystem.h"

namespace kelmora::test {

std::unique_ptr<platform::FileSystem> makeIsolatedFileSystem() {
    return std::make_unique<platform::posix::PosixFileSystem>(
        platform::posix::PosixFileSystem::Sources{});
}

}  // namespace kelmora::test
