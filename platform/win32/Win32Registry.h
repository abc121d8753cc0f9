// SPDX-License-Identifier: MIT
#pragma once

#include "platform/SystemInfo.h"

namespace kelmora::platform::win32 {

// Reads registry values with the ANSI functions RegOpenKeyExA (KEY_READ), RegQueryValueExA and
// RegCloseKey of advapi32, resolved by name on first use. The A forms are kept on purpose: the
// value decoding works on the ANSI bytes they return. When advapi32 or one of the three functions
// cannot be had, every read answers nothing.
class Win32Registry : public Registry {
  public:
    std::optional<RegistryValue> readValue(std::int32_t root, const std::string& keyPath,
                                           const std::string& valueName,
                                           std::size_t bufferSize) override;
};

}  // namespace kelmora::platform::win32
