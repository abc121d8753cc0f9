// SPDX-License-Identifier: MIT
#include "platform/posix/shared/Facts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/shared/StatIdentity.h"

namespace kelmora::platform::posix {
namespace {

constexpr unsigned kWanted = kIdentityFields | STATX_MNT_ID | STATX_NLINK;

std::optional<Facts> read(int dirFd, const char* name, int flags, Witness witness) {
    struct statx sx {};
    if (statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
              kWanted, &sx) != 0)
        return std::nullopt;
    Facts facts;
    facts.major = sx.stx_dev_major;
    facts.minor = sx.stx_dev_minor;
    if (witness == Witness::Skip) {
        facts.id = numberOf(sx);
    } else if (auto id = identityFrom(sx, dirFd, name)) {
        facts.id = *id;
    } else {
        return std::nullopt;
    }
    if (sx.stx_mask & STATX_MNT_ID) facts.mountId = sx.stx_mnt_id;
    facts.mode = sx.stx_mode & S_IFMT;
    facts.size = static_cast<std::int64_t>(sx.stx_size);
    if (sx.stx_mask & STATX_NLINK) facts.links = sx.stx_nlink;
    facts.times = changeTimesOf(sx);
    facts.mountRootKnown = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0;
    facts.mountRoot = (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    facts.automount = (sx.stx_attributes & STATX_ATTR_AUTOMOUNT) != 0;
    return facts;
}

}  // namespace

bool Facts::isFolder() const { return mode == S_IFDIR; }
bool Facts::isRegularFile() const { return mode == S_IFREG; }

std::optional<Facts> factsAt(int dirFd, const char* name, Witness witness) {
    return read(dirFd, name, 0, witness);
}

std::optional<Facts> factsOf(int fd, Witness witness) {
    return read(fd, "", AT_EMPTY_PATH, witness);
}

bool sameMount(const Facts& a, const Facts& b) {
    if (a.mountId && b.mountId) return *a.mountId == *b.mountId;
    return a.id.device == b.id.device;
}

}  // namespace kelmora::platform::posix
