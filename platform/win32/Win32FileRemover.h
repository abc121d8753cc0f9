#pragma once

#include "platform/FileRemover.h"

namespace kelmora::platform::win32 {

// Removes listed files on Windows.
//
// Both calls first open the entry at the path itself, never a link's or junction's target
// (FILE_FLAG_OPEN_REPARSE_POINT, FILE_FLAG_BACKUP_SEMANTICS), and compare its volume serial
// number and file index (see identityOfHandle) with the listed file's: another file now at the
// path, whatever way it is reached, is refused (ERROR_FILE_INVALID), as is anything but a regular
// file (ERROR_NOT_SUPPORTED). A missing path is AlreadyGone. Names with "*" or "?" name no file.
//
// deleteFile: a read-only file is refused (never forced); otherwise the file is deleted through
// the very handle that was checked (FileDispositionInfo), so the check and the deletion concern
// the same file.
//
// moveToTrash: the shell takes a path, not a handle, so the path itself is made safe first. Every
// folder from the volume's root down to the file's is opened and checked, the last against the
// listed folder, and held so that none can be renamed or replaced meanwhile (HeldFolders); then
// the file is checked as above, and the shell is asked to recycle it (recycleWithShell:
// IFileOperation, or SHFileOperationW where that is missing, as under Wine). Either way the shell
// recycles the file or leaves it, never erases it. The file's absence from its folder afterwards is
// the outcome. A name that the shell's path parsing would change (a final dot or blank, reached
// only in the long form) is refused: the shell would act on another file.
class Win32FileRemover : public FileRemover {
  public:
    RemoveResult deleteFile(const ListedFile& file) override;
    RemoveResult moveToTrash(const ListedFile& file) override;
};

}  // namespace kelmora::platform::win32
