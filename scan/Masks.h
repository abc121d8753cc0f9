#pragma once

#include <array>
#include <string_view>

#include "platform/NativeString.h"

namespace kelmora {

// The ten masks of temporary, backup and leftover files, in the order the scan tries them.
inline constexpr std::array<std::string_view, 10> kMaskTable = {
    "*.---", "*.___", "*.~??", "*.bak", "*.diz", "*.gid", "*.chk", "*.old", "*.syd", "*.tmp"};

// True when `name` matches the wildcard `mask`: "*" stands for any run of characters, none
// included, and "?" for exactly one character; ASCII letters match regardless of case, every
// other character only itself. A character is one code point where the name is valid UTF-8 (or
// UTF-16 on Windows) and one code unit where it is not, so "?" never splits a character.
bool matchesMask(NativeStringView name, NativeStringView mask);

// True when `name` matches at least one mask of the table: a file the scan would list.
bool isListableName(NativeStringView name);

}  // namespace kelmora
