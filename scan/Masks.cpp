// SPDX-License-Identifier: MIT
#include "scan/Masks.h"

#include <cstdint>
#include <optional>

namespace kelmora {
namespace {

// Length in code units of the character that starts at `at`: a whole UTF-8 sequence when it is a
// valid one, otherwise a single byte.
[[maybe_unused]] std::size_t charLength(std::basic_string_view<char> text, std::size_t at) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 1;
    if (length == 1 || at + length > text.size()) return 1;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<std::uint8_t>(text[at + k]) & 0xC0) != 0x80) return 1;
    const auto second = static_cast<std::uint8_t>(text[at + 1]);
    // Reject overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 1;
    return length;
}

// The same for UTF-16: a surrogate pair is one character.
[[maybe_unused]] std::size_t charLength(std::basic_string_view<wchar_t> text, std::size_t at) {
    const auto unit = static_cast<std::uint32_t>(text[at]);
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size()) {
        const auto next = static_cast<std::uint32_t>(text[at + 1]);
        if (next >= 0xDC00 && next <= 0xDFFF) return 2;
    }
    return 1;
}

template <typename Char>
Char foldAscii(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// Decides a mask of the form "*" + `tail` (no other "*") by comparing the name's end with the tail,
// from the last character back. While every code unit passed is ASCII, each is a whole character
// and lines up with its place in the tail, so a mismatch there is final; a wider character under a
// "?" leaves the decision to the general matcher.
std::optional<bool> matchTail(NativeStringView name, NativeStringView tail, bool anyChar) {
    // Too short even at one code unit per character; with "?" a wide character is longer still.
    if (name.size() < tail.size()) return false;
    const NativeStringView end = name.substr(name.size() - tail.size());
    for (std::size_t i = tail.size(); i-- > 0;) {
        if (static_cast<std::uint32_t>(end[i]) >= 0x80) {
            if (anyChar) return std::nullopt;
            if (tail[i] != end[i]) return false;  // without "?" the tail lines up unit by unit
        } else if (tail[i] != NativeChar('?') && foldAscii(tail[i]) != foldAscii(end[i])) {
            return false;
        }
    }
    return true;
}

bool generalMatch(NativeStringView name, NativeStringView mask);

}  // namespace

bool matchesMask(NativeStringView name, NativeStringView mask) {
    return MaskSet(std::array<NativeStringView, 1>{mask}).matching(name) != 0;
}

void MaskSet::add(NativeStringView mask) {
    Compiled& c = masks_.at(count_++);
    c.mask.assign(mask);
    c.tailForm = !mask.empty() && mask[0] == NativeChar('*') &&
                 mask.find(NativeChar('*'), 1) == NativeStringView::npos;
    c.anyChar = c.tailForm && mask.find(NativeChar('?')) != NativeStringView::npos;
    if (c.tailForm && mask.size() > 1 && mask.back() != NativeChar('?'))
        c.last = foldAscii(mask.back());
}

std::uint16_t MaskSet::matching(NativeStringView name) const {
    std::uint16_t bits = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        const Compiled& c = masks_[i];
        if (c.last && (name.empty() || foldAscii(name.back()) != *c.last)) continue;
        std::optional<bool> decided;
        if (c.tailForm) decided = matchTail(name, NativeStringView(c.mask).substr(1), c.anyChar);
        if (decided.value_or(false) || (!decided && generalMatch(name, c.mask)))
            bits = static_cast<std::uint16_t>(bits | (1u << i));
    }
    return bits;
}

namespace {

bool generalMatch(NativeStringView name, NativeStringView mask) {
    // Greedy matching with one backtrack point: the position after the last "*" and the name
    // position it was tried against. Linear for masks with a single "*", as all of the table's are.
    std::size_t n = 0, m = 0;
    std::size_t starMask = NativeStringView::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == NativeChar('*')) {
            starMask = ++m;
            starName = n;
        } else if (m < mask.size() && mask[m] == NativeChar('?')) {
            n += charLength(name, n);
            ++m;
        } else if (m < mask.size() && foldAscii(mask[m]) == foldAscii(name[n])) {
            ++n;
            ++m;
        } else if (starMask != NativeStringView::npos) {
            starName += charLength(name, starName);
            n = starName;
            m = starMask;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == NativeChar('*')) ++m;
    return m == mask.size();
}

}  // namespace

std::array<NativeString, kMaskTable.size()> nativeMaskTable() {
    std::array<NativeString, kMaskTable.size()> native;
    for (std::size_t i = 0; i < kMaskTable.size(); ++i) native[i] = fromAscii(kMaskTable[i]);
    return native;
}

bool isListableName(NativeStringView name) {
    static const MaskSet table(nativeMaskTable());
    return table.matching(name) != 0;
}

}  // namespace kelmora
