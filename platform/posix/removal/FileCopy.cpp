// SPDX-License-Identifier: MIT
#include "platform/posix/removal/FileCopy.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

namespace kelmora::platform::posix {
namespace {

constexpr std::size_t kChunk = 1 << 20;

// Copies [offset, end) from source to target at the same offsets: in the kernel where it can,
// else through a buffer. 0 or an errno.
int copyRange(int source, int target, off_t offset, off_t end, bool& kernelCopy,
              std::vector<char>& buffer) {
    while (offset < end) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(end - offset, off_t{kChunk}));
        if (kernelCopy) {
            off_t in = offset, out = offset;
            const ssize_t n = ::copy_file_range(source, &in, target, &out, want, 0);
            if (n > 0) {
                offset += n;
                continue;
            }
            if (n == 0) return EIO;  // the source ended early: it changed under us
            if (errno == EINTR) continue;
            // Between file systems, or where the kernel cannot: copy through the buffer.
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
                return errno;
            kernelCopy = false;
        }
        buffer.resize(kChunk);
        const ssize_t got = ::pread(source, buffer.data(), want, offset);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return EIO;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::pwrite(target, buffer.data() + put,
                                       static_cast<std::size_t>(got - put), offset + put);
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            put += n;
        }
        offset += got;
    }
    return 0;
}

int copyData(int source, off_t size, int target) {
    bool kernelCopy = true;
    std::vector<char> buffer;
    off_t at = 0;
    while (at < size) {
        off_t data = ::lseek(source, at, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break;  // only a hole is left
            if (errno != EINVAL) return errno;
            data = at;  // the file system knows no holes: all of it is data
        }
        off_t hole = ::lseek(source, data, SEEK_HOLE);
        if (hole < 0) {
            if (errno != EINVAL) return errno;
            hole = size;
        }
        if (hole > size) hole = size;
        if (const int error = copyRange(source, target, data, hole, kernelCopy, buffer))
            return error;
        at = hole;
    }
    // The size, which also makes a trailing hole.
    return ::ftruncate(target, size) == 0 ? 0 : errno;
}

constexpr std::string_view kAccessAcl = "system.posix_acl_access";

// Fills `out` with the extended attribute `name` of `fd` (`names` for the list of all names, each
// ending in a zero byte), growing it as the value grows meanwhile. 0 or an errno; a file system
// that keeps no attributes has none.
int readAttribute(int fd, const char* name, std::vector<char>& out) {
    for (;;) {
        const ssize_t size =
            name ? ::fgetxattr(fd, name, nullptr, 0) : ::flistxattr(fd, nullptr, 0);
        if (size < 0) {
            if (!name && errno == EOPNOTSUPP) {
                out.clear();
                return 0;
            }
            return errno;
        }
        out.resize(static_cast<std::size_t>(size));
        const ssize_t got = name ? ::fgetxattr(fd, name, out.data(), out.size())
                                 : ::flistxattr(fd, out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE) return errno;
    }
}

// Carries the extended attributes of `source` over to `target`, POSIX ACLs (system.*) and the
// user's (user.*) and, for root, the system's (trusted.*) included. Those under security.* stay
// behind: a security label belongs to the place the copy is in, which the system's policy gives it,
// and a file capability is a privilege, dropped like the set-user-ID bit. An access ACL that the
// target's folder gave it by default goes unless the source has one. 0, or the errno of the first
// attribute the target could not take (EOPNOTSUPP where its file system keeps none): a copy without
// its ACL would let its group read it by the mode bits alone, which then stand for the ACL's mask.
int copyAttributes(int source, int target) {
    std::vector<char> names, value;
    if (const int error = readAttribute(source, nullptr, names)) return error;
    bool hasAccessAcl = false;
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.data() + at;
        const std::string_view text(name);
        at += text.size() + 1;
        if (text.empty() || text.rfind("security.", 0) == 0) continue;
        if (const int error = readAttribute(source, name, value)) {
            if (error == ENODATA) continue;  // removed since it was listed
            return error;
        }
        if (::fsetxattr(target, name, value.data(), value.size(), 0) != 0) return errno;
        hasAccessAcl = hasAccessAcl || text == kAccessAcl;
    }
    if (!hasAccessAcl && ::fremovexattr(target, kAccessAcl.data()) != 0 && errno != ENODATA &&
        errno != EOPNOTSUPP)
        return errno;
    return 0;
}

}  // namespace

int copyFile(int source, const struct stat& st, int target) {
    if (const int error = copyData(source, st.st_size, target)) return error;
    // Owner first: changing it clears set-ID bits, which are dropped anyway. A file system that
    // keeps no owners (vfat) answers EPERM even to root; the copy then stays root's, and keeps
    // only the owner's rights, as its group and others are no longer the file's.
    mode_t mode = st.st_mode & 0777;
    if (::geteuid() == 0 && ::fchown(target, st.st_uid, st.st_gid) != 0) {
        if (errno != EPERM) return errno;
        mode &= 0700;
    }
    // The ACL before the mode bits: until both are there, the copy stays as it was made, 0600.
    if (const int error = copyAttributes(source, target)) return error;
    if (::fchmod(target, mode) != 0) return errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(target, times) != 0) return errno;
    return ::fsync(target) == 0 ? 0 : errno;
}

}  // namespace kelmora::platform::posix
