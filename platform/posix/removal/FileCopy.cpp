#include "platform/posix/removal/FileCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

}  // namespace

int copyFile(int source, const struct stat& st, int target) {
    if (const int error = copyData(source, st.st_size, target)) return error;
    // Owner first: changing it clears set-ID bits, which are dropped anyway. A file system that
    // keeps no owners (vfat) answers EPERM even to root; the copy then stays root's.
    if (::geteuid() == 0 && ::fchown(target, st.st_uid, st.st_gid) != 0 && errno != EPERM)
        return errno;
    if (::fchmod(target, st.st_mode & 0777) != 0) return errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(target, times) != 0) return errno;
    return ::fsync(target) == 0 ? 0 : errno;
}

}  // namespace kelmora::platform::posix
