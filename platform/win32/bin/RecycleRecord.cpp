// SPDX-License-Identifier: MIT
#include "platform/win32/bin/RecycleRecord.h"

#include <cstdint>

namespace kelmora::platform::win32 {
namespace {

std::uint64_t littleEndian(std::span<const std::byte> bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

}  // namespace

std::optional<std::u16string> recycledFrom(std::span<const std::byte> record) {
    constexpr std::size_t kVersion1Units = 260;  // MAX_PATH
    if (record.size() < 28) return std::nullopt;
    const std::uint64_t version = littleEndian(record, 0, 8);
    std::size_t start = 24;
    std::size_t units = kVersion1Units;
    if (version == 2) {
        start = 28;
        units = static_cast<std::size_t>(littleEndian(record, 24, 4));
    } else if (version != 1) {
        return std::nullopt;
    }
    if (units == 0 || (record.size() - start) / 2 < units) return std::nullopt;
    std::u16string path;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(littleEndian(record, start + 2 * i, 2));
        if (unit == u'\0') {
            // Version 2 counts the null as its last unit; version 1 pads its field after it.
            if (version == 2 && i + 1 != units) return std::nullopt;
            return path;
        }
        path.push_back(unit);
    }
    return std::nullopt;
}

}  // namespace kelmora::platform::win32
