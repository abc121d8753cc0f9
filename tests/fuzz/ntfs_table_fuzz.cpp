// SPDX-License-Identifier: MIT
// The input is a whole volume, read by the master file table reader and built into its folder
// tree. Whatever the bytes claim, the read ends without a crash, a leak, undefined behaviour or an
// allocation past libFuzzer's limit (by default 2 GiB), whatever size the volume claims.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/win32/ntfs/FolderTree.h"

using namespace kelmora::platform::win32::ntfs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TableRefusal refusal{};
    FolderTree::read(
        [&](std::uint64_t offset, std::span<std::byte> into, auto) {
            if (offset > size || into.size() > size - offset) return false;
            std::memcpy(into.data(), data + offset, into.size());
            return true;
        },
        refusal);
    return 0;
}
