#include "platform/posix/shared/Facts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/shared/StatIdentity.h"

namespace kelmora::platform::posix {
namespace {

constexpr unsigned kWanted = STATX_TYPE | STATX_INO | STATX_SIZE | STATX_MNT_ID;

std::optional<Facts> read(int dirFd, const char* name, int flags) {
    struct statx sx {};
    if (statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
              kWanted, &sx) != 0)
        return std::nullopt;
    Facts facts;
    facts.major = sx.stx_dev_major;
    facts.minor = sx.stx_dev_minor;
    facts.id = identityOf(sx);
    if (sx.stx_mask & STATX_MNT_ID) facts.mountId = sx.stx_mnt_id;
    facts.mode = sx.stx_mode & S_IFMT;
    facts.size = static_cast<std::int64_t>(sx.stx_size);
    facts.mountRootKnown = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0;
    facts.mountRoot = (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    facts.automount = (sx.stx_attributes & STATX_ATTR_AUTOMOUNT) != 0;
    return facts;
}

}  // namespace

bool Facts::isFolder() const { return mode == S_IFDIR; }
bool Facts::isRegularFile() const { return mode == S_IFREG; }

std::optional<Facts> factsAt(int dirFd, const char* name) { return read(dirFd, name, 0); }

std::optional<Facts> factsOf(int fd) { return read(fd, "", AT_EMPTY_PATH); }

bool sameMount(const Facts& a, const Facts& b) {
    if (a.mountId && b.mountId) return *a.mountId == *b.mountId;
    return a.id.device == b.id.device;
}

}  // namespace kelmora::platform::posix
