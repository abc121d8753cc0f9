#pragma once

#include <functional>
#include <string>

#include "platform/SystemInfo.h"

namespace kelmora::platform::posix {

// POSIX systems have no registry. This read-only view answers the one place the system
// information launcher asks first ("SOFTWARE\Microsoft\Shared Tools\MSINFO", value "PATH", below
// HKEY_LOCAL_MACHINE; key and value names compared without regard to ASCII case, as the registry
// does) with the full path of the first of hardinfo2, hardinfo and kinfocenter found on the
// executable search path, as a text value with its terminating zero. Every other place is absent,
// so the launcher's second lookup never finds anything here.
class PosixRegistry : public Registry {
  public:
    // Searches the PATH environment variable as it is at each read.
    PosixRegistry();
    // For tests: `searchPath` gives the search path text (folders separated by ':') at each read.
    explicit PosixRegistry(std::function<std::string()> searchPath);

    std::optional<RegistryValue> readValue(std::int32_t root, const std::string& keyPath,
                                           const std::string& valueName,
                                           std::size_t bufferSize) override;

  private:
    std::function<std::string()> searchPath_;
};

// The full path of the first of `programs` found as an executable regular file in a folder of
// `searchPath`, folder by folder. Empty and relative entries are skipped: a program is never
// taken from whatever the current folder happens to be. Empty when none is found.
std::string findOnSearchPath(const std::string& searchPath,
                             std::initializer_list<const char*> programs);

}  // namespace kelmora::platform::posix
