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
// moveToTrash: after the same check, the shell's IFileOperation with FOFX_RECYCLEONDELETE and a
// RecycleOnlySink, so the shell either recycles the file or leaves it: where the bin cannot take
// it the shell would erase it, and the sink stops that. The shell takes a path, not a handle: the
// check comes right before it. Where IFileOperation is missing or fails (Wine 8 has one whose
// every method answers E_NOTIMPL), the move is refused; there is no fallback to a call that might
// erase the file.
class Win32FileRemover : public FileRemover {
  public:
    RemoveResult deleteFile(const ListedFile& file) override;
    RemoveResult moveToTrash(const ListedFile& file) override;
};

}  // namespace kelmora::platform::win32
