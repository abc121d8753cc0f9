// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/NativeString.h"

namespace kelmora::platform {

// The root key HKEY_LOCAL_MACHINE, by its handle value.
inline constexpr std::int32_t kLocalMachine = static_cast<std::int32_t>(0x80000002u);

// Registry value types: text and a little-endian 32-bit number.
inline constexpr std::uint32_t kRegText = 1;    // REG_SZ
inline constexpr std::uint32_t kRegNumber = 4;  // REG_DWORD

// Where the system information tool's full program path is recorded, below HKEY_LOCAL_MACHINE:
// the launcher looks here first, and a platform without a registry answers here.
inline constexpr std::string_view kToolPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr std::string_view kToolPathValue = "PATH";

// One registry value as read: its type code (1 text, 4 32-bit number, ...) and its raw bytes.
struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

// Read-only access to registry values. Key paths and value names are ANSI texts.
class Registry {
  public:
    virtual ~Registry() = default;
    // Opens `keyPath` below `root` for reading, reads the value `valueName` into a buffer of
    // `bufferSize` bytes and closes the key. Nothing when the key cannot be opened, the value is
    // missing, or it is larger than the buffer.
    virtual std::optional<RegistryValue> readValue(std::int32_t root, const std::string& keyPath,
                                                   const std::string& valueName,
                                                   std::size_t bufferSize) = 0;
};

// What the system information launcher needs besides the registry.
class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;
    // The registry's ANSI text of a path, in native form.
    virtual NativeString pathFromAnsi(const std::string& ansi) = 0;
    // True when `path` names an ordinary file: neither hidden nor system, and not a folder.
    virtual bool isOrdinaryFile(const NativeString& path) = 0;
    // Starts exactly the program at `path`, with no shell and no arguments, as an independent
    // process whose window is shown normally; does not wait for it. False when it cannot start.
    virtual bool start(const NativeString& path) = 0;
};

}  // namespace kelmora::platform
