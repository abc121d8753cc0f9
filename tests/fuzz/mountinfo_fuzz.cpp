// SPDX-License-Identifier: MIT
// The input is the text of /proc/self/mountinfo, whose mount points and sources any user can name
// (a FUSE or user-namespace mount): every mount read from it has a type and a path.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/posix/mounts/MountTable.h"

using namespace kelmora::platform::posix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const Mount& mount : parseMountInfo({reinterpret_cast<const char*>(data), size}))
        if (mount.type.empty() || mount.path.empty()) __builtin_trap();
    return 0;
}
