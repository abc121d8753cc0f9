// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/SystemInfo.h"
#include "platform/posix/sysinfo/TrustedProgram.h"

namespace kelmora::platform::posix {

// POSIX systems have no registry. This read-only view answers the one place the system
// information launcher asks first ("SOFTWARE\Microsoft\Shared Tools\MSINFO", value "PATH", below
// HKEY_LOCAL_MACHINE; key and value names compared without regard to ASCII case, as the registry
// does) with the full path of the first of hardinfo2, hardinfo and kinfocenter found on the
// executable search path, as a text value with its terminating zero. Every other place is absent,
// so the launcher's second lookup never finds anything here.
//
// Run as root, the search path is kSystemProgramFolders, whatever PATH says, and a program counts
// only when nobody but root can have put it there (see openTrustedProgram): otherwise a user who
// can write a folder on root's PATH would have their program started as root.
class PosixRegistry : public Registry {
  public:
    // Searches the PATH environment variable as it is at each read; as root, see above.
    PosixRegistry();
    // For tests: `searchPath` gives the search path text (folders separated by ':') at each read;
    // with `trust`, only programs that pass openTrustedProgram count.
    explicit PosixRegistry(std::function<std::string()> searchPath,
                           std::optional<ProgramTrust> trust = std::nullopt);

    std::optional<RegistryValue> readValue(std::int32_t root, const std::string& keyPath,
                                           const std::string& valueName,
                                           std::size_t bufferSize) override;

  private:
    std::function<std::string()> searchPath_;
    std::optional<ProgramTrust> trust_;
};

// The full path of the first of `programs` found as an executable regular file in a folder of
// `searchPath`, folder by folder. Empty and relative entries are skipped: a program is never
// taken from whatever the current folder happens to be. With `trust`, a program counts only when
// openTrustedProgram accepts it. Empty when none is found.
std::string findOnSearchPath(const std::string& searchPath,
                             std::initializer_list<const char*> programs,
                             const ProgramTrust* trust = nullptr);

}  // namespace kelmora::platform::posix
