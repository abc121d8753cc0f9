// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace kelmora::platform::win32 {

// What the system says, before a file is handed to the shell, of how the bin of one volume takes
// files: where the shell would delete a file for good instead of recycling it, the file is not
// handed over at all.
struct BinSettings {
    bool hasBin = true;         // the volume has a bin (Windows keeps none on removable media)
    bool nukeOnDelete = false;  // every file is deleted for good, by the user's or a policy's wish
    std::optional<std::uint64_t> maxBytes;  // the most the bin may hold; nothing: not known
};

// The keys the settings are read from, in place of HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE: the
// same subkeys below them.
struct BinKeys {
    HKEY user = HKEY_CURRENT_USER;
    HKEY machine = HKEY_LOCAL_MACHINE;
};

// The settings of the bin of the volume whose root is `root` ("C:\"): the policies "Do not move
// deleted files to the Recycle Bin" (NoRecycleFiles) and "Maximum allowed Recycle Bin size"
// (RecycleBinSize, a percentage of the volume) of the user and of the machine, and the user's
// NukeOnDelete and MaxCapacity (in MiB) for the volume, kept under its volume GUID. With `askShell`
// the shell is asked whether the volume has a bin at all (SHQueryRecycleBinW, and only fixed
// drives have one); Wine's shell, whose bin is the Unix user's trash, has one for every drive.
BinSettings readBinSettings(const std::wstring& root, const BinKeys& keys, bool askShell);

// 0 when the shell, under `settings`, recycles a file of `size` bytes; else why it would delete
// the file for good: ERROR_NOT_SUPPORTED (no bin, or no recycling) or ERROR_FILE_TOO_LARGE (the
// file is larger than the bin, or the bin may hold nothing).
DWORD recycleRefusal(const BinSettings& settings, std::uint64_t size);

}  // namespace kelmora::platform::win32
