// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileRemover.h"
#include "platform/win32/BinPolicy.h"
#include "platform/win32/BinShell.h"
#include "platform/win32/FolderChain.h"
#include "platform/win32/RecycleBinCheck.h"
#include "platform/win32/ShellRecycle.h"

namespace kelmora::platform::win32 {

// Removes listed files on Windows.
//
// Both calls open the listed file's folder, each folder on its path in the one before (see
// FolderChain), and check it against the listed folder (identity and no link: a folder swapped
// since the scan is refused, ERROR_FILE_INVALID), then open the file by
// its name in that very folder, never a link's or junction's target (openInFolder), and compare
// its identity with the listed file's: another file now at the path is refused
// (ERROR_FILE_INVALID), as is anything but a regular file (ERROR_NOT_SUPPORTED). A missing file or
// folder is AlreadyGone. Names with "*" or "?" name no file.
//
// deleteFile: a read-only file is refused (never forced); otherwise the file is deleted through
// the very handle that was checked (FileDispositionInfo), so the check and the deletion concern
// the same file. The folders stay open for the next file until finishBatch, so that a run of
// files of one folder, or of neighbouring folders, opens each folder once.
//
// moveToTrash: the shell takes a path, not a handle, so the path itself is made safe first. Every
// folder from the volume's root down to the file's is opened and checked, the last against the
// listed folder, and held so that none can be renamed or replaced meanwhile (a FolderChain without
// FILE_SHARE_DELETE, kept for the next file until finishBatch, as in deleteFile); then
// the file is checked as above and held open (without taking part in sharing). A file that the
// shell would delete for good, as the system says beforehand (readBinSettings: no bin on the
// volume, recycling switched off, a bin too small for the file), is refused and never handed
// over. Otherwise the shell is asked to recycle it (a BinShell: by default ShellRecycler,
// IFileOperation, or SHFileOperationW where that is missing, as under Wine). Either way the
// shell recycles the file or leaves it, never erases it.
// The file counts as moved only when the listed file itself, found by its file index, now lies in
// its volume's bin (RecycleBins); a file still at its path, or gone but not found in the bin
// (the shell moved something else that was put at the path meanwhile), is refused. A name that the
// shell's path parsing would change (a final dot or blank, reached only in the long form) is
// refused: the shell would act on another file.
class Win32FileRemover : public FileRemover {
  public:
    // The shell's call goes through `shell` (ShellRecycler when null), and the bin's settings are
    // read below `keys`.
    explicit Win32FileRemover(std::unique_ptr<BinShell> shell = nullptr, BinKeys keys = {});
    Win32FileRemover(const Win32FileRemover&) = delete;
    Win32FileRemover& operator=(const Win32FileRemover&) = delete;
    ~Win32FileRemover() override;

    RemoveResult deleteFile(const ListedFile& file) override;
    RemoveResult moveToTrash(const ListedFile& file) override;
    // Closes the folders (and the bins) kept open for the next file.
    void finishBatch() override;

  private:
    // The folders of the last erased file, checked and kept open (sharing everything), so that
    // the next file of the same folder, or of a folder near it, is opened in them at once.
    FolderChain folders_{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    // The same for the files moved to the bin, held (no FILE_SHARE_DELETE) until the batch ends;
    // with the bins found and the shell's way, known once for the batch.
    FolderChain held_{FILE_SHARE_READ | FILE_SHARE_WRITE};
    RecycleBins bins_;
    std::unique_ptr<BinShell> shell_;
    BinKeys keys_;
    std::map<std::wstring, BinSettings> settings_;  // by volume root, read once for the batch
};

}  // namespace kelmora::platform::win32
