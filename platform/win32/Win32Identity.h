// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "platform/FileIdentity.h"

namespace kelmora::platform::win32 {

// Whether a volume's file IDs tell a file from one made later under the same number.
//
// NTFS's 64-bit file reference carries its own reuse counter: its top 16 bits are the sequence
// number of the record, which changes each time the record is used for a new file, so the number
// alone names one life. The FAT family (FAT, FAT32, exFAT) has no such thing: the ID is the place
// of the directory entry, which the next file made there takes over at once. On such a volume, and
// on any volume whose file system is not known to count (ReFS, UDF, network file systems, a name
// that cannot be read), the size, the last write time and the creation time of a file join its
// number, so that a file deleted and made again at the listed path after the scan is told apart.
enum class IdReuse : std::uint8_t { Counted, Uncounted };

// The reuse kind of the volume with serial number `volumeSerial`, on which `handle` is open, from
// the file system's name (GetVolumeInformationByHandleW). Read once per volume for the process, and
// kept: the listing and the remover must fill every identity of one volume in the same form.
IdReuse volumeIdReuse(HANDLE handle, std::uint64_t volumeSerial);

// What an identity is made of, as a directory record and an open handle both give it.
struct IdentityFacts {
    std::uint64_t volumeSerial = 0;
    std::uint64_t fileIndex = 0;
    bool folder = false;
    std::int64_t size = 0;
    std::uint64_t lastWriteTime = 0;  // FILETIME as one number
    std::uint64_t creationTime = 0;
};

// A file's or folder's identity in the one form that the folder listing and the remover both use:
// the volume's 32-bit serial number and the 64-bit file index (FILE_ID_BOTH_DIR_INFO's FileId is
// that index; FILE_ID_INFO's would not do, as on NTFS its serial number is the volume's 64-bit one,
// of which this is the low half). On a volume whose IDs are Counted the witness is None. Otherwise
// a file's is SizeAndTimes: {size, last write time, creation time}. A folder is known by its
// number alone (witness None) on every volume: its size and write time change with every entry
// made or removed in it, and so does what Wine reports as its creation time (the Unix change
// time). A folder made again at its place is no way to a file on its own: the file found in it
// must still match its own witness.
FileIdentity makeIdentity(const IdentityFacts& facts, IdReuse reuse);

// The identity of the file or folder described by `info`, which was read from `handle`.
FileIdentity identityOf(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info);

// The identity of the file or folder open at `handle` (any access, even none). Nothing on
// failure, with the system's error code in `error`.
std::optional<FileIdentity> identityOfHandle(HANDLE handle, DWORD& error);

// The same for a file or folder known to be on the volume with serial number `volumeSerial`
// (opened in a folder of that volume by openInFolder, which reaches no other volume): its file
// index, and what its witness needs, read without asking the volume for its serial number again,
// which under Wine is a round trip to another process on every call.
// Its FILE_ATTRIBUTE_* go to `attributes`, read in the same call.
std::optional<FileIdentity> identityOnVolume(HANDLE handle, std::uint64_t volumeSerial,
                                             DWORD& error, DWORD* attributes = nullptr);

// A FILETIME as one number of 100-nanosecond ticks.
constexpr std::uint64_t fileTimeTicks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace kelmora::platform::win32
