// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "platform/FileRemover.h"
#include "platform/posix/removal/FolderPathOpener.h"
#include "platform/posix/removal/HomeTrash.h"
#include "platform/posix/removal/TrashFolder.h"

namespace kelmora::platform::posix {

// Removes listed files on Linux, through descriptors.
//
// Both calls first find the listed file: its folder is opened from "/" one component at a time
// without following any link (see FolderPathOpener), its identity must be the listed folder's, and
// the entry there must be a regular file with the listed file's identity. Anything else is refused
// (ESTALE for another folder or file, ENOTDIR for a link or no folder on the way, EISDIR, ELOOP
// or EINVAL for an entry that is no longer a regular file) and the file stays; a path on which
// some name no longer exists is AlreadyGone. The removal then acts relative to that folder, so
// paths beyond PATH_MAX work the same way. Between the check and the removal the name can only be
// swapped by someone who may write that very folder, and a move to the trash checks what it moved
// afterwards.
//
// deleteFile: POSIX has no read-only attribute and unlink ignores the file's own mode, so a file
// none of whose write bits (owner, group, others) is set counts as read-only and is refused
// (EACCES), whoever runs the program. Then unlinkat; its refusals (the folder's rights, its sticky
// bit) are refusals too.
//
// moveToTrash, by the freedesktop.org Trash specification (see TrashFolder), read-only files
// included:
// 1. A file on the mount of the home trash (see homeTrashPlace: the environment's for a user who
//    owns what it names, else the one under the account's home, reached only through folders
//    nobody else may change) is renamed into it, and only into it. While a home trash of the
//    user's own choice cannot be had, its would-be parent folder tells its mount; while the one
//    under the account's home cannot be had, or when not even that parent can be opened, every
//    file is refused.
// 2. Otherwise, unless its file system is a tmpfs or ramfs (a trash there would not outlive a
//    restart), it is renamed into the trash at the top of its own mount, found by mount identity:
//    $topdir/.Trash/$uid or $topdir/.Trash-$uid, used only while no one else owns or may write
//    to the top (see TrashFolder::openOnTop).
// 3. Where no trash on its own mount takes it, or the rename meant for step 1 crosses a file
//    system within the mount (EXDEV: a btrfs subvolume), it is copied into the home trash, and
//    into no other place, flushed to disk, checked to be the listed file still, named there only
//    then, and only then removed.
// It is never deleted without a copy in a trash, and the call reports Removed only once it is in
// one; each refusal leaves the file where it was and no record of it in any trash.
//
// Between calls the remover keeps the folders of the last path and the home trash open;
// finishBatch() closes them. Where the process runs out of descriptors (EMFILE, ENFILE) on the
// way, it holds fewer of those folders and tries again (see FolderPathOpener), so that only a file
// that cannot be reached with the root and a few descriptors more is refused for it.
class PosixFileRemover : public FileRemover {
  public:
    // The effective user's home trash, where homeTrashPlace() puts it.
    PosixFileRemover();
    // The home trash at `homeTrash`.
    explicit PosixFileRemover(HomeTrashPlace homeTrash);
    // For tests: the home trash at `homeTrash`, an absolute path taken as the user's own choice;
    // empty for none.
    explicit PosixFileRemover(const std::string& homeTrash);

    RemoveResult deleteFile(const ListedFile& file) override;
    RemoveResult moveToTrash(const ListedFile& file) override;
    void finishBatch() override;

  private:
    struct Found {
        int folder = -1;  // the verified folder, owned by chain_
        std::uint64_t mountKey = 0;
        mode_t mode = 0;  // the entry's type and rights, as checked
    };
    // Finds the listed file as the class comment says: nothing when it may be acted on (with
    // `found` and name_ filled), else the result to give.
    std::optional<RemoveResult> find(const ListedFile& listed, Found& found);
    // One try of deleteFile and moveToTrash, with the chain's folders as they are.
    RemoveResult deleteOnce(const ListedFile& file);
    RemoveResult moveToTrashOnce(const ListedFile& file);
    // The home trash, opened on first use and again once removed; null with `error` set when it
    // cannot be had.
    TrashFolder* homeTrash(int& error);
    // The mount of the folder meant to hold the home trash, for when the trash itself cannot be
    // had; nothing when that folder cannot be opened either.
    std::optional<std::uint64_t> homeTrashParentMount() const;

    HomeTrashPlace homeTrashPlace_;
    FolderPathOpener chain_;
    std::optional<TrashFolder> homeTrash_;
    std::string name_;  // the listed file's name, zero-terminated for the *at calls
};

}  // namespace kelmora::platform::posix
