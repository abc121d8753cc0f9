// SPDX-License-Identifier: MIT
// The input is one record of the master file table, its update sequence still to be applied, and
// whatever a record parsed from it holds is read as a table's record is: its runlists decoded
// against a volume of 2^20 clusters, a resident attribute list's entries.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32/ntfs/MftRecord.h"

using namespace kelmora::platform::win32::ntfs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::byte> raw(reinterpret_cast<const std::byte*>(data),
                               reinterpret_cast<const std::byte*>(data) + size);
    if (applyFixups(raw) != RecordState::Valid) return 0;
    if (const auto record = parseRecord(raw, 1u << 20))
        for (const Run& run : record->dataRuns)
            if (!run.sparse() && static_cast<std::uint64_t>(run.lcn) + run.clusters > (1u << 20))
                __builtin_trap();  // a run on disk past the volume
    return 0;
}
