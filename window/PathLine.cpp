// SPDX-License-Identifier: MIT
#include "window/PathLine.h"

#include <cstdint>
#include <type_traits>

namespace kelmora {
namespace {

// True for a code unit that continues a character begun before it: a UTF-8 continuation byte,
// or the low half of a UTF-16 surrogate pair.
bool continuesCharacter(NativeChar c) {
    const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<NativeChar>>(c));
    return sizeof(NativeChar) == 1 ? (unit & 0xC0) == 0x80 : unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

NativeString endsOfPath(NativeStringView path, std::size_t keep) {
    if (path.size() <= 2 * keep) return NativeString(path);
    std::size_t head = keep, tail = path.size() - keep;
    while (head > 0 && continuesCharacter(path[head])) --head;
    while (tail < path.size() && continuesCharacter(path[tail])) ++tail;
    // "…" in the native form: three UTF-8 bytes, or one UTF-16 unit.
    const NativeString ellipsis =
        sizeof(NativeChar) == 1 ? NativeString{NativeChar(0xE2), NativeChar(0x80), NativeChar(0xA6)}
                                : NativeString(1, NativeChar(0x2026));
    NativeString out;
    out.reserve(head + ellipsis.size() + path.size() - tail);
    out.append(path.substr(0, head)).append(ellipsis).append(path.substr(tail));
    return out;
}

}  // namespace kelmora
