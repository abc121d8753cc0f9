// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/NativeString.h"

namespace kelmora {

// The ten masks of temporary, backup and leftover files, in the order the scan tries them.
inline constexpr std::array<std::string_view, 10> kMaskTable = {
    "*.---", "*.___", "*.~??", "*.bak", "*.diz", "*.gid", "*.chk", "*.old", "*.syd", "*.tmp"};

// The mask table in native form, index 0 first.
std::array<NativeString, kMaskTable.size()> nativeMaskTable();

// True when `name` matches the wildcard `mask`: "*" stands for any run of characters, none
// included, and "?" for exactly one character; ASCII letters match regardless of case, every
// other character only itself. A character is one code point where the name is valid UTF-8 (or
// UTF-16 on Windows) and one code unit where it is not, so "?" never splits a character.
bool matchesMask(NativeStringView name, NativeStringView mask);

// Masks made ready for matching many names: each mask is examined once, and the table's form of
// mask ("*" and a tail without "*") is decided by comparing the name's end with the tail. Gives the
// same answers as matchesMask.
class MaskSet {
  public:
    static constexpr std::size_t kMaxMasks = 16;

    // At most kMaxMasks masks; they are copied.
    template <typename Range>
    explicit MaskSet(const Range& masks) {
        for (const auto& mask : masks) add(NativeStringView(mask));
    }

    // Bit i is set when `name` matches mask i.
    std::uint16_t matching(NativeStringView name) const;

  private:
    struct Compiled {
        NativeString mask;
        bool tailForm = false;  // a leading "*" and no other: the rest is a tail to compare
        bool anyChar = false;   // the tail holds a "?"
        // The tail's last unit, case-folded, when it is a literal: a name that ends otherwise
        // cannot match, which settles most names with one compare.
        std::optional<NativeChar> last;
    };
    void add(NativeStringView mask);
    std::array<Compiled, kMaxMasks> masks_{};
    std::size_t count_ = 0;
};

// True when `name` matches at least one mask of the table: a file the scan would list.
bool isListableName(NativeStringView name);

}  // namespace kelmora
