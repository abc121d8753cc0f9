// SPDX-License-Identifier: MIT
#include "platform/posix/removal/PosixFileRemover.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/Platform.h"
#include "platform/posix/mounts/MountTop.h"
#include "platform/posix/shared/StatIdentity.h"

namespace kelmora::platform::posix {
namespace {

RemoveResult refused(int osError) { return {RemoveOutcome::Refused, osError}; }
constexpr RemoveResult kGone{RemoveOutcome::AlreadyGone, 0};

// The end of `path` below the folder `depth` levels above the file's own: the file's Path= in
// the trash at the top of its mount, which the trash specification wants relative to that top.
std::string_view relativeBelow(std::string_view path, std::size_t depth) {
    std::size_t at = path.size();
    for (std::size_t level = 0; level <= depth && at != std::string_view::npos && at > 0; ++level)
        at = path.rfind('/', at - 1);
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

// A file system in memory: a trash on it would not outlive a restart.
bool isVolatile(int folderFd) {
    struct statfs fs {};
    return ::fstatfs(folderFd, &fs) == 0 &&
           (fs.f_type == static_cast<decltype(fs.f_type)>(TMPFS_MAGIC) ||
            fs.f_type == static_cast<decltype(fs.f_type)>(RAMFS_MAGIC));
}

}  // namespace

PosixFileRemover::PosixFileRemover() : PosixFileRemover(homeTrashPlace()) {}

PosixFileRemover::PosixFileRemover(const std::string& homeTrash) {
    const std::size_t slash = homeTrash.rfind('/');
    if (slash != std::string::npos)
        homeTrashPlace_ = {HomeTrashWay::UsersOwn, slash == 0 ? "/" : homeTrash.substr(0, slash),
                           homeTrash.substr(slash + 1)};
}

PosixFileRemover::PosixFileRemover(HomeTrashPlace homeTrash)
    : homeTrashPlace_(std::move(homeTrash)) {}

std::optional<RemoveResult> PosixFileRemover::find(const ListedFile& listed, Found& found) {
    const NativeString& path = listed.path;
    // A zero byte would cut the name short at it, naming another file.
    if (path.empty() || path.front() != '/' || path.find('\0') != NativeString::npos)
        return refused(EINVAL);
    const std::size_t slash = path.rfind('/');
    const std::string_view name = std::string_view(path).substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return refused(EINVAL);

    const int folder = chain_.open(std::string_view(path).substr(0, slash));
    if (folder < 0) return -folder == ENOENT ? kGone : refused(-folder);
    const FolderPathOpener::Facts* facts = chain_.facts();
    if (!facts) return refused(errno);
    if (facts->identity != listed.folder) return refused(ESTALE);

    name_.assign(name);
    struct statx st {};
    const auto identity = identityAt(folder, name_.c_str(), &st);
    if (!identity) return errno == ENOENT ? kGone : refused(errno);
    if (S_ISDIR(st.stx_mode)) return refused(EISDIR);
    if (S_ISLNK(st.stx_mode)) return refused(ELOOP);
    if (!S_ISREG(st.stx_mode)) return refused(EINVAL);
    if (*identity != listed.file) return refused(ESTALE);
    found.mode = st.stx_mode;
    found.folder = folder;
    found.mountKey = facts->mountKey;
    return std::nullopt;
}

TrashFolder* PosixFileRemover::homeTrash(int& error) {
    if (homeTrash_ && homeTrash_->intact()) return &*homeTrash_;
    homeTrash_.reset();
    if (homeTrashPlace_.base.empty()) {
        error = ENOENT;
        return nullptr;
    }
    homeTrash_ = TrashFolder::openHome(homeTrashPlace_, error);
    return homeTrash_ ? &*homeTrash_ : nullptr;
}

std::optional<std::uint64_t> PosixFileRemover::homeTrashParentMount() const {
    // Only the user's own choice is looked up as its path says: what it leads to is the user's.
    if (homeTrashPlace_.way != HomeTrashWay::UsersOwn) return std::nullopt;
    const std::string path = homeTrashPlace_.path();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    const UniqueFd folder(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return std::nullopt;
    return mountKeyOfFd(folder.get());
}

namespace {

// Runs `once` until it is not refused for want of descriptors, holding fewer of `chain`'s folders
// each time, down to the root alone: a refusal leaves everything as it was, so trying again is
// safe.
template <typename Once>
RemoveResult withFewerFoldersWhenOut(FolderPathOpener& chain, Once once) {
    for (;;) {
        const RemoveResult result = once();
        const bool out = result.outcome == RemoveOutcome::Refused &&
                         (result.osError == EMFILE || result.osError == ENFILE);
        if (!out || !chain.holdFewer()) return result;
    }
}

}  // namespace

RemoveResult PosixFileRemover::deleteFile(const ListedFile& file) {
    return withFewerFoldersWhenOut(chain_, [&] { return deleteOnce(file); });
}

RemoveResult PosixFileRemover::moveToTrash(const ListedFile& file) {
    return withFewerFoldersWhenOut(chain_, [&] { return moveToTrashOnce(file); });
}

RemoveResult PosixFileRemover::deleteOnce(const ListedFile& file) {
    // Finding the file only reads. Then one unlink: a kill at any step leaves the file at its
    // path or gone as the user asked, never anything else.
    Found found;
    if (auto verdict = find(file, found)) return *verdict;
    if ((found.mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return refused(EACCES);
    if (::unlinkat(found.folder, name_.c_str(), 0) != 0)
        return errno == ENOENT ? kGone : refused(errno);
    return {RemoveOutcome::Removed, 0};
}

RemoveResult PosixFileRemover::moveToTrashOnce(const ListedFile& file) {
    // Finding the file and the trash changes nothing but folders made for a trash: a kill there
    // leaves the file at its path. Putting it in is TrashFolder's (moveIn, copyIn), which say
    // what a kill leaves at each of their steps: the file at its path, or in a trash with its
    // record, or (a copy) in both, whole; never only a part of it.
    Found found;
    if (auto verdict = find(file, found)) return *verdict;
    int homeError = 0;
    TrashFolder* home = homeTrash(homeError);
    // Without knowing the home's mount there is no telling which trash a file belongs in.
    const auto homeMount = home ? std::optional(home->mountKey()) : homeTrashParentMount();
    if (!homeMount) return refused(homeError);
    if (*homeMount == found.mountKey) {
        if (!home) return refused(homeError);
        const RemoveResult moved = home->moveIn(found.folder, name_, file.file, file.path);
        // One mount can span file systems that no rename crosses: a btrfs subvolume other than
        // the trash's. The file is then copied, as from any other file system.
        if (moved.outcome != RemoveOutcome::Refused || moved.osError != EXDEV) return moved;
        return home->copyIn(found.folder, name_, file.file, file.path);
    }

    if (!isVolatile(found.folder)) {
        if (auto top = findMountTop(found.folder, found.mountKey)) {
            int error = 0;
            if (auto trash = TrashFolder::openOnTop(top->folder.get(), ::geteuid(), error)) {
                const RemoveResult moved = trash->moveIn(found.folder, name_, file.file,
                                                         relativeBelow(file.path, top->depth));
                // Only a trash that could not take the file leaves the copy to try.
                if (moved.outcome != RemoveOutcome::Refused || moved.osError == ESTALE)
                    return moved;
            }
        }
    }
    if (!home) return refused(homeError);
    return home->copyIn(found.folder, name_, file.file, file.path);
}

void PosixFileRemover::finishBatch() {
    chain_.release();
    homeTrash_.reset();
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {

std::unique_ptr<FileRemover> makeFileRemover() {
    return std::make_unique<posix::PosixFileRemover>();
}

}  // namespace kelmora::platform
