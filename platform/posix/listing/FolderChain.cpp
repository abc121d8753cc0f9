// SPDX-License-Identifier: MIT
#include "platform/posix/listing/FolderChain.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/posix/shared/StatIdentity.h"
#include "platform/posix/shared/Subvolume.h"

namespace kelmora::platform::posix {
namespace {

// btrfs's magic number in statfs's f_type.
constexpr std::int64_t kBtrfsMagic = 0x9123683E;

// True when `found`, a folder on its parent's mount, is the folder a listing reported as
// `expected`. A listing tells a subfolder's number, not its witness, and its device only as the
// listed folder's. Inside one mount a folder with a device of its own is a btrfs subvolume's
// root, inode 256, which the listing names by the subvolume's id: it is expected only when btrfs,
// asked through `fd` (open for reading; -1 when not yet open), confirms that id, and never when it
// is read-only (a snapshot, where nothing can be removed and every leftover would show again).
bool isExpected(const FileIdentity* expected, const FileIdentity& found, const FileIdentity& parent,
                int fd) {
    if (found.device == parent.device) return !expected || found.sameNumber(*expected);
    const auto subvolume = fd >= 0 ? subvolumeAt(fd) : std::nullopt;
    if (!subvolume || subvolume->readOnly) return false;
    return !expected || found.sameNumber(*expected) ||
           (expected->device == parent.device && expected->inode == subvolume->id);
}

// How many leading bytes two paths share; a block at a time, since paths may be megabytes long.
std::size_t sharedLength(std::string_view a, std::string_view b) {
    const std::size_t length = std::min(a.size(), b.size());
    constexpr std::size_t kBlock = 256;
    std::size_t at = 0;
    while (at + kBlock <= length && std::memcmp(a.data() + at, b.data() + at, kBlock) == 0)
        at += kBlock;
    while (at < length && a[at] == b[at]) ++at;
    return at;
}

}  // namespace

FolderChain::~FolderChain() { closeAll(); }

void FolderChain::closeBelowRoot() {
    for (const auto& folder : open_) close(folder.fd);
    open_.clear();
    path_.resize(root_.fd >= 0 ? root_.end + 1 : 0);
}

void FolderChain::closeAll() {
    closeBelowRoot();
    if (root_.fd >= 0) close(root_.fd);
    root_.fd = -1;
    path_.clear();
    currentFd_ = -1;
}

bool FolderChain::openRoot(const std::string& folder) {
    closeAll();
    if (folder.empty() || folder.back() != '/') return false;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    auto facts = factsOf(fd);
    if (!facts) {
        close(fd);
        return false;
    }
    // Without the kernel's word, the system's root is the one mount root known for sure.
    if (!facts->mountRootKnown) facts->mountRoot = folder == "/";
    struct statfs fs {};
    facts->btrfs = fstatfs(fd, &fs) == 0 && static_cast<std::int64_t>(fs.f_type) == kBtrfsMagic;
    root_ = {fd, folder.size() - 1, *facts};
    path_ = folder;
    pathBeginsLast_ = true;
    held_ = kMaxOpen;
    currentFd_ = fd;
    current_ = *facts;
    return true;
}

void FolderChain::push(OpenFolder folder) {
    if (open_.size() >= held_) {
        close(open_.front().fd);
        open_.pop_front();
    }
    open_.push_back(std::move(folder));
}

bool FolderChain::open(const std::string& folder, const FileIdentity& expected,
                       std::size_t sameAsLast) {
    currentFd_ = -1;
    if (root_.fd < 0) return false;
    // What is known of path_ against `folder`, since path_ begins the folder asked for last.
    const std::size_t known = pathBeginsLast_ ? std::min(sameAsLast, path_.size()) : 0;
    pathBeginsLast_ = false;
    bool outOfFds = false;
    if (openBelow(folder, expected, known, outOfFds)) return true;
    // Out of descriptors: hold half as many ancestors and go on from the deepest one still open,
    // down to one; then once more from the root alone. Only a folder that cannot be opened even
    // so is given up.
    while (outOfFds) {
        outOfFds = false;
        if (held_ == 1 && open_.size() <= 1) {
            closeBelowRoot();
            return openBelow(folder, expected, known, outOfFds);
        }
        held_ = std::max<std::size_t>(1, std::min(held_, open_.size()) / 2);
        while (open_.size() > held_) {
            close(open_.front().fd);
            open_.pop_front();
        }
        if (openBelow(folder, expected, known, outOfFds)) return true;
    }
    return false;
}

bool FolderChain::openBelow(const std::string& folder, const FileIdentity& expected,
                            std::size_t known, bool& outOfFds) {
    // The folder lies below the root, and each of its parts takes at least one byte and a "/".
    const std::size_t rootEnd = root_.end;
    if (folder.size() < rootEnd + 3 || folder.back() != '/' ||
        folder.compare(0, rootEnd + 1, path_, 0, rootEnd + 1) != 0)
        return false;

    // The deepest open folder that is an ancestor of `folder` (never the folder itself, which is
    // looked at afresh): its "/" must lie within the part that `folder` shares with path_.
    // The first `known` characters are the same, and path_ only shrinks between tries.
    known = std::min({known, path_.size(), folder.size()});
    const std::size_t shared = known + sharedLength(std::string_view(folder).substr(known),
                                                    std::string_view(path_).substr(known));
    while (!open_.empty() && !(open_.back().end < shared && open_.back().end + 1 < folder.size())) {
        close(open_.back().fd);
        open_.pop_back();
    }
    const OpenFolder* parent = open_.empty() ? &root_ : &open_.back();
    path_.resize(parent->end + 1);
    pathBeginsLast_ = true;  // from here on path_ only grows along `folder`

    for (std::size_t at = parent->end + 1; at < folder.size();) {
        const std::size_t end = folder.find('/', at);
        if (end == at) return false;  // an empty part: no such folder
        name_.assign(folder, at, end - at);
        const bool last = end + 1 == folder.size();
        Facts facts;
        errno = 0;
        const int fd = step(*parent, name_.c_str(), last ? &expected : nullptr, facts);
        if (fd < 0) {
            outOfFds = errno == EMFILE || errno == ENFILE;
            return false;
        }
        push({fd, end, facts});
        parent = &open_.back();
        path_.append(name_).push_back('/');
        at = end + 1;
    }
    currentFd_ = parent->fd;
    current_ = parent->facts;
    return true;
}

int FolderChain::step(const OpenFolder& parent, const char* name, const FileIdentity* expected,
                      Facts& facts) {
    if (tryOpenat2_) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
        const int fd = static_cast<int>(syscall(SYS_openat2, parent.fd, name, &how, sizeof how));
        if (fd >= 0) {
            // RESOLVE_NO_XDEV kept it on the parent's mount, and no mount's root lies there:
            // its identity tells the rest.
            struct statx sx {};
            const auto id = identityOfFd(fd, &sx);
            if (!id || !S_ISDIR(sx.stx_mode)) {
                close(fd);
                return -1;
            }
            facts = parent.facts;
            facts.id = *id;
            facts.times = changeTimesOf(sx);
            facts.mountRoot = false;
            facts.mountRootKnown = true;
            facts.automount = false;
            if (!isExpected(expected, facts.id, parent.facts.id, fd)) {
                close(fd);
                return -1;
            }
            return fd;
        }
        // No openat2 here (an old kernel, or a sandbox that forbids it): the second way, always.
        if (errno == ENOSYS || errno == EPERM || errno == E2BIG) tryOpenat2_ = false;
        // A mount point; anything else (a link, gone, denied, not a folder) is a refusal.
        else if (errno != EXDEV)
            return -1;
    }
    return stepThroughPath(parent, name, expected, facts);
}

int FolderChain::stepThroughPath(const OpenFolder& parent, const char* name,
                                 const FileIdentity* expected, Facts& facts) {
    // O_PATH without O_DIRECTORY: the name is looked up and no automount is triggered, and
    // nothing is asked of the file system mounted there until it is known to be one to enter.
    const int pathFd = openat(parent.fd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (pathFd < 0) return -1;
    // The number only: the witness is read once the folder is open for reading.
    const auto read = factsOf(pathFd, Witness::Skip);
    const bool crossing = read && !sameMount(*read, parent.facts);
    // Inside the mount, a folder with a device of its own is a btrfs subvolume: checked once open.
    const bool subvolume = read && !crossing && read->id.device != parent.facts.id.device;
    int fd = -1;
    // Across a mount the identity must be the one statx reported at the listing: the mounted root.
    const bool expectedHere =
        read && (crossing ? !expected || read->id.sameNumber(*expected)
                          : subvolume || isExpected(expected, read->id, parent.facts.id, -1));
    struct statfs fs {};
    if (expectedHere && read->isFolder() && !read->automount &&
        (!crossing || mounts_.enters(read->mountId, read->major, read->minor))) {
        fd = openat(pathFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && crossing &&
            (fstatfs(fd, &fs) != 0 ||
             !isLocalFileSystemMagic(static_cast<std::int64_t>(fs.f_type)) ||
             (fs.f_type == kBtrfsMagic && subvolumeAt(fd).value_or(Subvolume{}).readOnly))) {
            close(fd);
            fd = -1;
        }
        if (fd >= 0 && subvolume && !isExpected(expected, read->id, parent.facts.id, fd)) {
            close(fd);
            fd = -1;
        }
    }
    const int saved = errno;
    close(pathFd);
    errno = saved;
    if (fd < 0) return -1;
    struct statx sx {};
    const auto id = identityOfFd(fd, &sx);
    if (!id || !id->sameNumber(read->id)) {
        close(fd);
        return -1;
    }
    facts = *read;
    facts.id = *id;
    facts.times = changeTimesOf(sx);
    if (!facts.mountRootKnown) facts.mountRoot = crossing;
    facts.btrfs = crossing ? fs.f_type == kBtrfsMagic : parent.facts.btrfs;
    return fd;
}

}  // namespace kelmora::platform::posix
