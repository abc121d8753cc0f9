// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileIdentity.h"
#include "platform/FileRemover.h"
#include "platform/posix/removal/HomeTrash.h"
#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {

// One trash folder of the freedesktop.org Trash specification, its "files" and "info" folders
// held open, so that everything put in goes exactly there whatever happens to the paths above.
//
// Putting a file in always writes its record first: info/NAME.trashinfo, created exclusively
// (which reserves NAME), with Path= (the raw bytes, percent-encoded) and DeletionDate= (local
// time). NAME is the file's own name or, where that is taken in either folder, "NAME.XXXXXXXX" with
// eight random hexadecimal digits: a free name costs the same however many files of one name the
// trash holds, and there is no limit to how many it takes. A name too long for its record is
// shortened by bytes: the end of its stem goes, its extension stays, a UTF-8 character is not cut
// in two, and it is never empty. A failed put removes the record again and leaves the file where it
// was. The record stays only once what arrived is checked to be the listed file: nothing else keeps
// one.
//
// The trash folder and its two parts are real folders (not links) owned by the user, to which no
// one else may write.
//
// A copy is written under a private name, ".kelmora~NAME" beside its NAME in files/, which no
// record names, so no trash reader offers it; it gets NAME only once whole and on disk. A run
// killed meanwhile leaves that private copy and a record naming no file; the first put into the
// home trash of a later run clears both (see clearLeftCopies).
class TrashFolder {
  public:
    // The home trash at `place`, made (0700 each) with what is missing of `place.below`, for the
    // effective user. A UsersOwn place is reached as its path says, links on the way followed, and
    // its parents are made too; a Verified one only through folders that openTrustedFolder
    // accepts. Nothing on failure, with `error` set.
    static std::optional<TrashFolder> openHome(const HomeTrashPlace& place, int& error);

    // The trash at the top of a mount, `topFd`, for `uid`: $topdir/.Trash/$uid when
    // $topdir/.Trash is a real folder with the sticky bit owned by root or `uid`, else
    // $topdir/.Trash-$uid; either is made (0700) when missing. The top itself must be trusted
    // (isTrustedFolder): a top that anyone else owns or may write to is no place for the user's
    // files, however its trash looks (EPERM). Nothing on failure, with `error` set.
    static std::optional<TrashFolder> openOnTop(int topFd, uid_t uid, int& error);

    // The mount that the trash folder lies on (see mountKeyOf).
    std::uint64_t mountKey() const { return mountKey_; }
    // False once the trash's folders were removed since they were opened.
    bool intact() const;

    // Moves the entry `name` of the folder `folderFd` in by renaming it (both must be on the
    // trash's mount), with `recordedPath` as its Path= (raw bytes; relative to the mount's top
    // for a trash at the top). What arrived is checked to be `expected`; anything else was
    // swapped in after the caller's check: its record goes and it is refused (ESTALE). It is put
    // back under its name; where that is taken again meanwhile, it stays in files/ with no
    // record, so no trash reader offers it as anything.
    RemoveResult moveIn(int folderFd, const std::string& name, const FileIdentity& expected,
                        std::string_view recordedPath);

    // Puts the regular file `name` of `folderFd` in by copying it (from any mount): copies it
    // under its private name with what a move would keep (see copyFile), flushes the copy, its
    // record and both folders to disk, checks that the name still holds `expected`, unchanged
    // since the copy began, gives the copy its recorded name (never over another file) and
    // flushes that too, renames the original
    // aside to a private name in its folder, checks it again there and only then removes it, so
    // that nothing put at the name meanwhile is ever deleted. What fails the second check goes back
    // under its name (or, where that is taken again, stays under the private one) and is refused
    // (ESTALE). Refused, with no copy and no record left, when the trash's file system lacks
    // the space (ENOSPC), the file's own is read-only (EROFS), it cannot keep the file's extended
    // attributes or access control list (EOPNOTSUPP), or any step fails.
    RemoveResult copyIn(int folderFd, const std::string& name, const FileIdentity& expected,
                        std::string_view recordedPath);

  private:
    TrashFolder(UniqueFd files, UniqueFd info, std::uint64_t mountKey)
        : files_(std::move(files)), info_(std::move(info)), mountKey_(mountKey) {}
    // Removes what killed copies left in files/: each private copy that no running copy holds
    // locked, that is the user's, has no record of its own and whose NAME has the user's record,
    // and that record too where files/NAME never arrived. Nothing else is touched, whoever made
    // it. Once per trash opened by openHome, the only trash that copies go to, before its first
    // put.
    void clearLeftCopies();
    void clearLeftCopy(const std::string& privateName);
    // Creates the private copy of `trashName`, locked against clearLeftCopies of other runs; -1
    // with errno set (EEXIST: the name is taken) when it cannot.
    UniqueFd makePrivateCopy(const std::string& privateName);
    // Opens files/ and info/ of the trash folder `trashFd`, which is checked too, all made when
    // missing and each owned by `owner` with no write right for anyone else.
    static std::optional<TrashFolder> openParts(int trashFd, uid_t owner, int& error);

    // Puts the file `name` in under a free name (see the class comment), its record
    // (flushed when `flushRecord`) first: `place(trashName)` then puts the file there and gives
    // the result, or nothing when files/ already holds that name, which drops the record and
    // tries another. On any other failure `place` has dealt with the record itself.
    template <typename Place>
    RemoveResult putUnderFreeName(const std::string& name, std::string_view recordedPath,
                                  bool flushRecord, Place place);
    // The steps of moveIn and copyIn that put the file in as `trashName`, whose record exists:
    // nothing when files/ already holds that name, else the result.
    std::optional<RemoveResult> renameInto(int folderFd, const std::string& name,
                                           const FileIdentity& expected,
                                           const std::string& trashName);
    std::optional<RemoveResult> copyInto(int source, const struct stat& st, int folderFd,
                                         const std::string& name, const FileIdentity& expected,
                                         const std::string& trashName);
    // Creates info/`trashName`.trashinfo exclusively with `record`, flushed when `flush`; 0 or an
    // errno (EEXIST: the name is taken).
    int writeRecord(const std::string& trashName, std::string_view record, bool flush);
    void dropRecord(const std::string& trashName);

    UniqueFd files_;
    UniqueFd info_;
    std::uint64_t mountKey_ = 0;
    bool leftCopiesPending_ = false;
};

}  // namespace kelmora::platform::posix
