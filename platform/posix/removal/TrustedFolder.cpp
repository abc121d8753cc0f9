// SPDX-License-Identifier: MIT
#include "platform/posix/removal/TrustedFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace kelmora::platform::posix {
namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Calls `step(name)` for each component of `path` separated by "/", empty ones skipped; stops at
// the first step that gives an errno other than 0, and gives that.
template <typename Step>
int forEachName(std::string_view path, Step step) {
    std::size_t at = 0;
    while (at < path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        if (end > at)
            if (const int error = step(std::string(path.substr(at, end - at)))) return error;
        at = end + 1;
    }
    return 0;
}

}  // namespace

bool isTrustedFolder(const struct stat& st, uid_t user) {
    return S_ISDIR(st.st_mode) && (st.st_uid == user || st.st_uid == 0) &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int checkTrustedFolder(int fd, uid_t user) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return errno;
    return isTrustedFolder(st, user) ? 0 : EPERM;
}

std::optional<UniqueFd> openTrustedFolder(std::string_view base, std::string_view below, uid_t user,
                                          int& error) {
    if (base.empty() || base.front() != '/') {
        error = EINVAL;
        return std::nullopt;
    }
    UniqueFd at(::open("/", kFolderFlags));
    if (!at) {
        error = errno;
        return std::nullopt;
    }
    if ((error = checkTrustedFolder(at.get(), user)) != 0) return std::nullopt;
    const auto descend = [&](bool make) {
        return [&at, user, make](const std::string& name) {
            if (name == "." || name == "..") return EINVAL;
            // The folder `at` is trusted: nobody else can put a name in it between these calls.
            if (make && ::mkdirat(at.get(), name.c_str(), 0700) != 0 && errno != EEXIST)
                return errno;
            UniqueFd next(::openat(at.get(), name.c_str(), kFolderFlags));
            if (!next) return errno == ELOOP ? ENOTDIR : errno;  // a link or no folder at all
            if (const int untrusted = checkTrustedFolder(next.get(), user)) return untrusted;
            at = std::move(next);
            return 0;
        };
    };
    if ((error = forEachName(base, descend(false))) != 0 ||
        (error = forEachName(below, descend(true))) != 0)
        return std::nullopt;
    return at;
}

}  // namespace kelmora::platform::posix
