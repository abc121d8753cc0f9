// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace kelmora {

// The text of a byte total as the window shows it: whole kilobytes, rounded toward minus infinity,
// in plain decimal, then " KB" ("1023" gives "0 KB", "1024" gives "1 KB").
std::string sizeText(std::int64_t bytes);

}  // namespace kelmora
