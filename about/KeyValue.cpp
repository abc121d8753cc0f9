// SPDX-License-Identifier: MIT
#include "about/KeyValue.h"

#include <stdexcept>

namespace kelmora {
namespace {

// The registry's hexadecimal form of one byte: upper-case digits, no leading zero.
void appendHex(std::string& out, std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (byte >= 16) out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

// The platform's general value-to-text formatting without a pattern. Nothing in the program asks
// the number's value, so the "&h" text is kept as it is.
std::string formatWithoutPattern(std::string text) { return text; }

}  // namespace

void decodeKeyValue(std::uint32_t type, std::span<const std::uint8_t> bytes, std::string& keyVal) {
    if (bytes.empty()) throw std::invalid_argument("registry value of size 0");
    const std::size_t kept = bytes.back() == 0 ? bytes.size() - 1 : bytes.size();
    const auto keptBytes = bytes.first(kept);
    if (type == kRegText) {
        keyVal.assign(keptBytes.begin(), keptBytes.end());
    } else if (type == kRegNumber) {
        for (auto it = keptBytes.rbegin(); it != keptBytes.rend(); ++it) appendHex(keyVal, *it);
        keyVal = formatWithoutPattern("&h" + keyVal);
    }
}

bool GetKeyValue(platform::Registry* registry, std::int32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    const auto value = registry ? registry->readValue(KeyRoot, KeyName, SubKeyRef, kValueBufferSize)
                                : std::nullopt;
    // A reader that hands back more than the buffer holds would not have fitted: not found.
    if (!value || value->bytes.size() > kValueBufferSize) {
        KeyVal.clear();
        return false;
    }
    decodeKeyValue(value->type, value->bytes, KeyVal);
    return true;
}

}  // namespace kelmora
