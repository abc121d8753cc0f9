// SPDX-License-Identifier: MIT
#include "platform/posix/sysinfo/TrustedProgram.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <vector>

#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {
namespace {

constexpr int kMostLinks = 40;  // as the kernel's own path resolution

// Puts the components of `path` in front of `pending`, in order.
void prependComponents(const std::string& path, std::deque<std::string>& pending) {
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t next = path.find('/', at);
        if (next == std::string::npos) next = path.size();
        if (next > at) parts.push_back(path.substr(at, next - at));
        at = next + 1;
    }
    pending.insert(pending.begin(), parts.begin(), parts.end());
}

bool ownedAndClosed(const struct stat& st, uid_t owner) {
    return st.st_uid == owner && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int fail(int error) {
    errno = error;
    return -1;
}

}  // namespace

std::optional<ProgramTrust> trustForThisProcess() {
    return ::geteuid() == 0 ? std::optional(ProgramTrust{}) : std::nullopt;
}

int openTrustedProgram(const std::string& path, const ProgramTrust& trust) {
    if (path.empty() || path.front() != '/') return fail(EINVAL);
    // The folders walked so far, the trusted root first; ".." steps back along them.
    std::vector<UniqueFd> folders;
    folders.emplace_back(::open(trust.root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folders.back()) return -1;
    struct stat st {};
    if (::fstat(folders.back().get(), &st) != 0) return -1;
    if (!ownedAndClosed(st, trust.owner)) return fail(EPERM);

    std::deque<std::string> pending;
    prependComponents(path, pending);
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.front());
        pending.pop_front();
        if (name == ".") continue;
        if (name == "..") {
            if (folders.size() > 1) folders.pop_back();
            continue;
        }
        // The entry itself, link or not, checked on what was opened.
        UniqueFd entry(
            ::openat(folders.back().get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!entry || ::fstat(entry.get(), &st) != 0) return -1;
        if (S_ISLNK(st.st_mode)) {
            // Its folder is trusted, so only the owner could have made it; its target is checked
            // step by step like the rest.
            if (st.st_uid != trust.owner) return fail(EPERM);
            if (++links > kMostLinks) return fail(ELOOP);
            std::string target(PATH_MAX, '\0');
            const ssize_t length = ::readlinkat(entry.get(), "", target.data(), target.size());
            if (length < 0) return -1;
            if (static_cast<std::size_t>(length) >= target.size()) return fail(ENAMETOOLONG);
            target.resize(static_cast<std::size_t>(length));
            if (!target.empty() && target.front() == '/') folders.resize(1);
            prependComponents(target, pending);
            continue;
        }
        if (!ownedAndClosed(st, trust.owner)) return fail(EPERM);
        if (pending.empty()) {
            if (!S_ISREG(st.st_mode)) return fail(EACCES);
            if ((st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) == 0) return fail(EACCES);
            return entry.release();
        }
        if (!S_ISDIR(st.st_mode)) return fail(ENOTDIR);
        folders.push_back(std::move(entry));
    }
    return fail(EISDIR);  // the path named a folder
}

}  // namespace kelmora::platform::posix
