#pragma once

#include "platform/FileRemover.h"

namespace kelmora::platform::posix {

// Removes files on a POSIX system.
//
// deleteFile: the entry is examined with lstat right before unlink. POSIX has no read-only
// attribute and unlink ignores the file's own mode, so a regular file none of whose write bits
// (owner, group, others) is set counts as read-only and is refused; so is an entry that is no
// longer a regular file (a folder, a link, a FIFO...). A refusal of unlink itself (the folder's
// rights, its sticky bit) is a refusal too. No path is ever expanded as a pattern and no link is
// followed: unlink acts on the entry itself.
//
// moveToTrash: by the freedesktop.org trash specification, through GIO's g_file_trash: the home
// trash ($XDG_DATA_HOME/Trash, created on first use) for a file on the file system of $HOME, else
// the trash folder at the top of the file's own volume. The file is only ever renamed into a
// trash folder: when that cannot be done the call is refused with the file in place, never
// deleted for good and never copied. Read-only files may be trashed (renaming does not depend on
// the file's mode); entries other than regular files are refused.
class PosixFileRemover : public FileRemover {
  public:
    RemoveResult deleteFile(const NativeString& path) override;
    RemoveResult moveToTrash(const NativeString& path) override;
};

}  // namespace kelmora::platform::posix
