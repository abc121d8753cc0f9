// SPDX-License-Identifier: MIT
#include "platform/posix/shared/Account.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace kelmora::platform::posix {

Account accountOf(uid_t user) {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found) return {};
    Account account{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
    if (!account.home.starts_with('/')) account.home.clear();
    return account;
}

}  // namespace kelmora::platform::posix
