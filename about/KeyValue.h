// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/SystemInfo.h"

namespace kelmora {

// Registry value types that GetKeyValue turns into text.
using platform::kRegNumber;
using platform::kRegText;

// Size of the buffer a value is read into; a larger value counts as missing.
inline constexpr std::size_t kValueBufferSize = 1024;

// Decodes one registry value as read (its type and the bytes the read reported) into `keyVal`.
// - A terminating zero goes: when the last reported byte is 0 it is dropped, otherwise every byte
//   is kept (a text stored without its zero stays whole).
// - Text (kRegText): `keyVal` becomes the kept bytes, an ANSI text.
// - 32-bit number (kRegNumber): the hexadecimal forms of the kept bytes, from the last to the
//   first (upper-case, no leading zeros, so one or two digits a byte), are appended to what
//   `keyVal` held on entry, and "&h" is put in front of the whole. The trim above treats a zero
//   most significant byte like a terminating zero, so it contributes nothing.
// - Any other type leaves `keyVal` as it was.
// Throws std::invalid_argument for a value of size 0, which has nothing to trim.
void decodeKeyValue(std::uint32_t type, std::span<const std::uint8_t> bytes, std::string& keyVal);

// Reads the value `SubKeyRef` of the key `KeyName` below `KeyRoot` (read-only) and decodes it into
// `KeyVal` as above. True when the value was found; when not (key or value missing, open refused,
// value larger than kValueBufferSize, or no registry at all: `registry` may be null), `KeyVal`
// becomes empty. Throws what decodeKeyValue throws.
bool GetKeyValue(platform::Registry* registry, std::int32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

}  // namespace kelmora
