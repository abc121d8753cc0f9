// SPDX-License-Identifier: MIT
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace kelmora::platform::win32::ntfs {

// Bytes as NTFS lays them out on disk: little-endian integers at byte offsets. Every read is
// checked against the end: a structure that claims to reach past it is damaged, and `fits` says
// so before anything is read.
class LittleEndian {
  public:
    explicit LittleEndian(std::span<const std::byte> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool fits(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::span<const std::byte> slice(std::size_t offset, std::size_t length) const {
        return bytes_.subspan(offset, length);
    }

    // An unsigned integer of `width` bytes (at most 8) at `offset`; the caller checked `fits`.
    std::uint64_t uint(std::size_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = width; i-- > 0;)
            value = (value << 8) | static_cast<std::uint8_t>(bytes_[offset + i]);
        return value;
    }
    // Fixed widths, read whole: Windows runs little-endian only, so the bytes are the value.
    std::uint8_t u8(std::size_t offset) const { return static_cast<std::uint8_t>(bytes_[offset]); }
    std::uint16_t u16(std::size_t offset) const { return fixed<std::uint16_t>(offset); }
    std::uint32_t u32(std::size_t offset) const { return fixed<std::uint32_t>(offset); }
    std::uint64_t u64(std::size_t offset) const { return fixed<std::uint64_t>(offset); }

  private:
    template <typename T>
    T fixed(std::size_t offset) const {
        static_assert(std::endian::native == std::endian::little);
        T value;
        std::memcpy(&value, bytes_.data() + offset, sizeof value);
        return value;
    }

    std::span<const std::byte> bytes_;
};

}  // namespace kelmora::platform::win32::ntfs
