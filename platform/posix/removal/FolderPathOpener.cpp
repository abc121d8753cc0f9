// SPDX-License-Identifier: MIT
#include "platform/posix/removal/FolderPathOpener.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/shared/StatIdentity.h"

namespace kelmora::platform::posix {
namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool isDotName(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

void FolderPathOpener::dropBeyond(std::size_t keep) {
    tail_.reset();
    facts_.reset();
    if (levels_.size() > keep) levels_.resize(keep);
    path_.resize(levels_.empty() ? 0 : levels_.back().end);
}

bool FolderPathOpener::holdFewer() {
    const std::size_t now = std::min(held_, levels_.size());
    if (now <= 1) return false;  // the root alone, or nothing: there is nothing to let go
    held_ = now / 2;
    dropBeyond(held_);
    return true;
}

int FolderPathOpener::open(std::string_view folder) {
    if (!folder.empty() && folder.front() != '/') return -EINVAL;
    if (!levels_.empty() && folder == path_) return deepest();

    if (levels_.empty()) {
        UniqueFd root(::open("/", kFolderFlags));
        if (!root) return -errno;
        path_.clear();
        levels_.push_back({0, std::move(root)});
    }
    // Keep the levels whose path the new folder begins with, up to a component boundary.
    const auto mismatch = std::mismatch(folder.begin(), folder.end(), path_.begin(), path_.end());
    const auto shared = static_cast<std::size_t>(mismatch.first - folder.begin());
    std::size_t keep = 1;
    while (keep < levels_.size()) {
        const std::size_t end = levels_[keep].end;
        if (end > shared || (end < folder.size() && folder[end] != '/')) break;
        ++keep;
    }
    dropBeyond(keep);

    // Then open the rest, component by component, from the deepest kept folder.
    std::size_t at = levels_.back().end;
    int fd = levels_.back().fd.get();
    UniqueFd transient;
    while (at < folder.size()) {
        std::size_t next = folder.find('/', at + 1);
        if (next == std::string_view::npos) next = folder.size();
        const std::string_view component = folder.substr(at + 1, next - at - 1);
        if (component.empty() || isDotName(component)) {
            dropBeyond(levels_.size());
            return -EINVAL;
        }
        name_.assign(component);
        const int child = ::openat(fd, name_.c_str(), kFolderFlags);
        if (child < 0) {
            const int error = errno;
            dropBeyond(levels_.size());
            return -error;
        }
        if (levels_.size() < held_) {
            levels_.push_back({next, UniqueFd(child)});
            path_.assign(folder.substr(0, next));
        } else {
            transient.reset(child);  // the folder above it, beyond the held levels, closes here
        }
        fd = child;
        at = next;
    }
    path_.assign(folder);
    tail_ = std::move(transient);
    return fd;
}

const FolderPathOpener::Facts* FolderPathOpener::facts() {
    if (facts_) return &*facts_;
    if (levels_.empty()) {
        errno = EBADF;
        return nullptr;
    }
    struct statx sx {};
    const auto identity = identityOfFd(deepest(), &sx);
    if (!identity) return nullptr;
    facts_ = Facts{*identity, mountKeyOf(sx)};
    return &*facts_;
}

void FolderPathOpener::release() {
    held_ = kHeldLevels;
    tail_.reset();
    facts_.reset();
    levels_.clear();
    path_.clear();
}

}  // namespace kelmora::platform::posix
