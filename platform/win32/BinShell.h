// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

namespace kelmora::platform::win32 {

// The one way by which the remover asks the system to move a file to its bin: the shell's call
// (ShellRecycler), or a stand-in that does what a shell does, so that what the remover decides
// around the call is the same for both.
class BinShell {
  public:
    virtual ~BinShell() = default;
    // Asks for the file at `path` (an ordinary drive-absolute path) to go to the bin; what was
    // answered. Nothing here tells whether the file left: the caller looks.
    virtual HRESULT recycle(const std::wstring& path) = 0;
    // The batch ended: what was learnt during it is forgotten.
    virtual void forget() {}
};

}  // namespace kelmora::platform::win32
