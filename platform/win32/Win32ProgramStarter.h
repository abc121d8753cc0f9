// SPDX-License-Identifier: MIT
#pragma once

#include "platform/SystemInfo.h"

namespace kelmora::platform::win32 {

// Starts the system information tool on Windows. Paths are UTF-16 throughout; the registry's ANSI
// text is widened once with the ANSI code page. The start is CreateProcessW with the program's
// path as the application name, so no shell and no search path take part and nothing in the name
// is read as an argument; the new process is detached from this one (no console, no handles
// inherited), its window shown normally, and it is not waited for.
class Win32ProgramStarter : public ProgramStarter {
  public:
    NativeString pathFromAnsi(const std::string& ansi) override;
    bool isOrdinaryFile(const NativeString& path) override;
    bool start(const NativeString& path) override;
};

}  // namespace kelmora::platform::win32
