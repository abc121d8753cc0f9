// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/BinShell.h"

namespace kelmora::platform::win32 {

// recycle asks the shell to move the file at `path` (an ordinary drive-absolute path, which the
// caller has checked and whose folders it holds) to the recycle bin, with no window of its own, and
// returns what the shell answered. Nothing here tells whether the file left: the caller looks.
//
// First the shell's IFileOperation with FOFX_RECYCLEONDELETE and a RecycleOnlySink, so that the
// shell either recycles the file or leaves it, silenced (FOF_NOERRORUI, FOF_SILENT,
// FOF_NOCONFIRMATION), owned by the thread's active window, and with any dialog it would still
// open refused (DialogRefusal). Where that object cannot be made, or answers
// E_NOTIMPL (Wine 8 makes one whose every method does), SHFileOperationW(FO_DELETE,
// FOF_ALLOWUNDO) does the same, silently. That call would erase a file the bin cannot take, after
// a question when asked for one (FOF_WANTNUKEWARNING): the question is asked, and refused before
// it can be shown (see DialogRefusal.h), so the shell gives up and the file stays.
//
// For a batch of files: once the shell's IFileOperation was found missing or doing nothing, the
// next files go to SHFileOperationW at once, until forget(). Under Wine making the object and
// joining COM for it cost more than the shell's move itself, for every file.
class ShellRecycler final : public BinShell {
  public:
    HRESULT recycle(const std::wstring& path) override;
    void forget() override { fileOperationMissing_ = false; }

  private:
    bool fileOperationMissing_ = false;
};

}  // namespace kelmora::platform::win32
