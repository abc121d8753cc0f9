// SPDX-License-Identifier: MIT
#include "tests/support/ListedFileOf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/shared/StatIdentity.h"
#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::test {

using platform::posix::identityAt;
using platform::posix::identityOfFd;
using platform::posix::UniqueFd;

platform::ListedFile listedFileOf(const NativeString& path) {
    platform::ListedFile listed{path, {}, {}};
    // Component by component, so that a path past PATH_MAX can be read too.
    UniqueFd folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::size_t at = 0;
    for (std::size_t next; (next = path.find('/', at + 1)) != NativeString::npos; at = next) {
        const std::string name = path.substr(at + 1, next - at - 1);
        folder.reset(::openat(folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    listed.folder = identityOfFd(folder.get()).value_or(platform::FileIdentity{});
    listed.file =
        identityAt(folder.get(), path.substr(at + 1).c_str()).value_or(platform::FileIdentity{});
    return listed;
}

}  // namespace kelmora::test
