// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace kelmora::platform::win32 {

// The former path that a recycle bin's "$I" record names, from the record's bytes as the file
// holds them (little-endian). Version 1 (Windows Vista to 8.1) keeps the path in a field of 260
// UTF-16 units at byte 24, null-terminated; version 2 (Windows 10 and later) keeps its length in
// units, the final null included, at byte 24 and the path from byte 28. Both begin with the
// version, the file's size and the time of the deletion, 8 bytes each. Nothing when the record is
// of another version, cut short, or its path has no null where it should end. Portable, so that
// it is fuzzed on any host: the bytes come from a folder that other programs write.
std::optional<std::u16string> recycledFrom(std::span<const std::byte> record);

}  // namespace kelmora::platform::win32
