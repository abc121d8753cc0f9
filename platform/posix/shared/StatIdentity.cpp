// SPDX-License-Identifier: MIT
#include "platform/posix/shared/StatIdentity.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {
namespace {

using Kind = LifeWitness::Kind;

std::uint64_t nanoseconds(const struct statx_timestamp& time) {
    return static_cast<std::uint64_t>(time.tv_sec) * 1'000'000'000u + time.tv_nsec;
}

bool sameFile(int fd, const struct statx& sx) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_ino == sx.stx_ino &&
           st.st_dev == makedev(sx.stx_dev_major, sx.stx_dev_minor);
}

// A descriptor for reading of the file that `sx` describes, reached as identityFrom's `at` and
// `name` say, never through a link. Nothing where none can be had; `changed` is set when the
// name now leads elsewhere (gone, a link, another file).
UniqueFd openForReading(const struct statx& sx, int at, const char* name, bool& changed) {
    const bool folder = S_ISDIR(sx.stx_mode);
    UniqueFd fd;
    if (*name != 0) {
        fd.reset(::openat(
            at, name,
            O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (folder ? O_DIRECTORY : O_NONBLOCK | O_NOCTTY)));
        // Gone, a link or no longer a folder: the name leads elsewhere. A refusal (no read
        // permission, no descriptor left) only leaves the generation unread.
        changed = !fd && (errno == ENOENT || errno == ELOOP || errno == ENOTDIR);
    } else if (folder) {
        fd.reset(::openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    } else {
        // An O_PATH descriptor of a file is opened again for reading through its /proc link.
        const std::string link = "/proc/self/fd/" + std::to_string(at);
        fd.reset(::open(link.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    }
    if (fd && !sameFile(fd.get(), sx)) {
        changed = true;
        fd.reset();
    }
    return fd;
}

}  // namespace

std::optional<FileIdentity> identityFrom(const struct statx& sx, int at, const char* name) {
    FileIdentity id = numberOf(sx);
    if ((sx.stx_mask & STATX_BTIME) != 0) {
        id.life = {Kind::BirthTime,
                   {static_cast<std::uint64_t>(sx.stx_btime.tv_sec), sx.stx_btime.tv_nsec, 0}};
        return id;
    }
    const bool file = S_ISREG(sx.stx_mode);
    const bool mountRoot = (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    if ((!file && !S_ISDIR(sx.stx_mode)) || mountRoot) return id;

    // The generation, from the descriptor itself where it can be read (no ioctl takes an O_PATH
    // one: EBADF), else from one opened for reading.
    long generation = 0;  // the kernel writes an int into it
    bool known = *name == 0 && ::ioctl(at, FS_IOC_GETVERSION, &generation) == 0;
    if (!known && (*name != 0 || errno == EBADF)) {
        bool changed = false;
        const UniqueFd reader = openForReading(sx, at, name, changed);
        if (changed) {
            errno = ESTALE;
            return std::nullopt;
        }
        known = reader && ::ioctl(reader.get(), FS_IOC_GETVERSION, &generation) == 0;
    }
    if (known)
        id.life = {Kind::Generation, {static_cast<std::uint32_t>(generation), 0, 0}};
    else if (file)
        id.life = {Kind::SizeAndTimes,
                   {sx.stx_size, nanoseconds(sx.stx_mtime), nanoseconds(sx.stx_ctime)}};
    return id;
}

std::optional<FileIdentity> identityAt(int dirFd, const char* name, struct statx* seen) {
    struct statx sx {};
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kIdentityFields | STATX_MNT_ID,
                &sx) != 0)
        return std::nullopt;
    if (seen) *seen = sx;
    return identityFrom(sx, dirFd, name);
}

std::optional<FileIdentity> identityOfFd(int fd, struct statx* seen) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, kIdentityFields | STATX_MNT_ID, &sx) != 0)
        return std::nullopt;
    if (seen) *seen = sx;
    return identityFrom(sx, fd, "");
}

bool sameFileSinceRename(const FileIdentity& now, const FileIdentity& listed) {
    if (now == listed) return true;
    return now.sameNumber(listed) && now.life.kind == Kind::SizeAndTimes &&
           listed.life.kind == Kind::SizeAndTimes && now.life.words[0] == listed.life.words[0] &&
           now.life.words[1] == listed.life.words[1];
}

}  // namespace kelmora::platform::posix
