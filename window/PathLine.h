// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include "platform/NativeString.h"

namespace kelmora {

// How many characters of each end of a path the path line keeps: far more than one line of any
// screen shows, however narrow the font.
inline constexpr std::size_t kPathLineEnd = 1024;

// `path` itself when it has at most 2 * `keep` characters; else its first and last `keep`
// characters (cut between whole characters) with "…" between them. The path line shows a long
// path from its ends, and keeping only those costs the same however deep the folder lies.
NativeString endsOfPath(NativeStringView path, std::size_t keep = kPathLineEnd);

}  // namespace kelmora
