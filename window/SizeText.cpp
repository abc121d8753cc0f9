// SPDX-License-Identifier: MIT
#include "window/SizeText.h"

namespace kelmora {

std::string sizeText(std::int64_t bytes) {
    // Integer floor division: exact for every 64-bit count, where a double would round large ones.
    std::int64_t kilobytes = bytes / 1024;
    if (bytes % 1024 < 0) --kilobytes;
    return std::to_string(kilobytes) + " KB";
}

}  // namespace kelmora
