// SPDX-License-Identifier: MIT
// The input is a recycle bin's "$I" record, which any program that writes to the bin may have
// written: a path read from it lies within the record and holds no null.
#include <cstddef>
#include <cstdint>

#include "platform/win32/bin/RecycleRecord.h"

using namespace kelmora::platform::win32;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = recycledFrom(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (path && (2 * path->size() + 24 > size || path->find(u'\0') != std::u16string::npos))
        __builtin_trap();
    return 0;
}
