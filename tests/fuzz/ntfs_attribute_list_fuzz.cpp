// SPDX-License-Identifier: MIT
// The input is an $ATTRIBUTE_LIST value: each entry is read within it, or the list is refused.
#include <cstddef>
#include <cstdint>

#include "platform/win32/ntfs/MftRecord.h"

using namespace kelmora::platform::win32::ntfs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto entries =
        parseAttributeList(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (entries && entries->size() > size / 0x1A)
        __builtin_trap();  // entries of 0x1A bytes at least
    return 0;
}
