// SPDX-License-Identifier: MIT
#include "platform/Platform.h"
#include "platform/win32/Win32FileRemover.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProgramStarter.h"
#include "platform/win32/Win32Registry.h"

namespace kelmora::platform {

// Windows asks the system about each matching file as it is found, so the name filter that lets
// other platforms read less up front is not needed here.
std::unique_ptr<FileSystem> makeFileSystem(NameFilter) {
    return std::make_unique<win32::Win32FileSystem>();
}
std::unique_ptr<FileRemover> makeFileRemover() {
    return std::make_unique<win32::Win32FileRemover>();
}
std::unique_ptr<Registry> makeRegistry() { return std::make_unique<win32::Win32Registry>(); }
std::unique_ptr<ProgramStarter> makeProgramStarter() {
    return std::make_unique<win32::Win32ProgramStarter>();
}
// An elevated program runs in its own account's environment: nothing to drop.
void keepOnlyTrustedEnvironment() {}

}  // namespace kelmora::platform
