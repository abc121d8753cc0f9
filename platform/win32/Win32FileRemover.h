#pragma once

#include "platform/FileRemover.h"

namespace kelmora::platform::win32 {

// Removes files on Windows. Delete is DeleteFileW after a look at the file itself: a read-only
// file is refused (never forced), a missing one is AlreadyGone, a folder or a link is refused.
// The move to the recycle bin goes through the shell's IFileOperation with FOFX_RECYCLEONDELETE
// and a RecycleOnlySink, so the shell either recycles the file or leaves it: where the bin cannot
// take it the shell would erase it, and the sink stops that. Where IFileOperation is missing or
// fails (Wine 8 has one whose every method answers E_NOTIMPL), the move is refused; there is no
// fallback to a call that might erase the file.
class Win32FileRemover : public FileRemover {
  public:
    RemoveResult deleteFile(const NativeString& path) override;
    RemoveResult moveToTrash(const NativeString& path) override;
};

}  // namespace kelmora::platform::win32
