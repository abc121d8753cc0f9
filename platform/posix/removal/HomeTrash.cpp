// SPDX-License-Identifier: MIT
#include "platform/posix/removal/HomeTrash.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "platform/posix/shared/Account.h"

namespace kelmora::platform::posix {
namespace {

bool absolute(const char* path) { return path && *path == '/'; }

// The owner of the folder at `path` or, while it is not made yet, of the nearest folder above it
// that exists; links are followed, as the environment's own spelling of the place may use them.
std::optional<uid_t> ownerOfNearest(std::string path) {
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) return st.st_uid;
        if (errno != ENOENT) return std::nullopt;
        const std::size_t slash = path.find_last_not_of('/');
        const std::size_t parent = slash == std::string::npos ? 0 : path.rfind('/', slash);
        if (parent == std::string::npos || parent == 0) return std::nullopt;
        path.resize(parent);
    }
}

}  // namespace

HomeTrashPlace homeTrashPlace(uid_t user, const char* xdgDataHome, const char* home,
                              const char* accountHome) {
    if (user != 0) {
        HomeTrashPlace named{HomeTrashWay::UsersOwn, {}, {}};
        if (absolute(xdgDataHome))
            named = {HomeTrashWay::UsersOwn, xdgDataHome, "Trash"};
        else if (absolute(home))
            named = {HomeTrashWay::UsersOwn, home, ".local/share/Trash"};
        if (!named.base.empty() && ownerOfNearest(named.base) == user) return named;
    }
    if (absolute(accountHome)) return {HomeTrashWay::Verified, accountHome, ".local/share/Trash"};
    return {};
}

HomeTrashPlace homeTrashPlace() {
    const uid_t user = ::geteuid();
    const Account account = accountOf(user);
    return homeTrashPlace(user, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                          account.home.empty() ? nullptr : account.home.c_str());
}

}  // namespace kelmora::platform::posix
