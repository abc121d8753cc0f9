#include "tests/support/ListedFileOf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/shared/StatIdentity.h"
#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::test {

using platform::posix::identityOf;
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
    struct stat st {};
    if (::fstat(folder.get(), &st) == 0) listed.folder = identityOf(st);
    if (::fstatat(folder.get(), path.substr(at + 1).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        listed.file = identityOf(st);
    return listed;
}

}  // namespace kelmora::test
