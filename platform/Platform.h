// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

#include "platform/FileRemover.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

namespace kelmora::platform {

// Everything the windows need from the operating system, owned together. The program builds the
// real set with makeServices(); tests fill it with fakes.
struct Services {
    std::unique_ptr<FileSystem> fileSystem;
    std::unique_ptr<FileRemover> remover;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<ProgramStarter> starter;
};

// Tells whether the scan could list a file of this name; the file system uses it to remember only
// the protected files that matter.
using NameFilter = std::function<bool(NativeStringView name)>;

// The real implementations of the machine the program runs on (POSIX or Win32, chosen at build
// time), one factory each.
std::unique_ptr<FileSystem> makeFileSystem(NameFilter listableName);
std::unique_ptr<FileRemover> makeFileRemover();
std::unique_ptr<Registry> makeRegistry();
std::unique_ptr<ProgramStarter> makeProgramStarter();

// Makes the process's environment its own before anything reads it: on Linux, run as root or in
// another user's environment (`sudo -E`), only the variables that reach the display and name the
// language are kept, and HOME is the account's own, so that no library loads code or
// configuration that another user wrote (see posix/startup/TrustedEnvironment.h). Nothing on
// Windows, where an elevated program runs in its own account's environment. Call it first in
// main(), before any thread starts.
void keepOnlyTrustedEnvironment();

}  // namespace kelmora::platform
