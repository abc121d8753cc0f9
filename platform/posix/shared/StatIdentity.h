// SPDX-License-Identifier: MIT
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <optional>

#include "platform/FileIdentity.h"
#include "platform/posix/shared/Facts.h"

namespace kelmora::platform::posix {

// The one place where this layer reads who a file is. The walk, the package database, the trash
// folders and the remover all read identities here, so that the same file gets the same identity
// whichever of them reads it and whichever way: by name relative to a folder, or from a
// descriptor, O_PATH or not.
//
// An identity is st_dev and st_ino with the witness of that inode's life (see LifeWitness):
// - BirthTime, to the nanosecond, where statx reports one (ext4 with large inodes, xfs, btrfs,
//   tmpfs, f2fs...);
// - otherwise Generation, the inode's generation number (FS_IOC_GETVERSION: ext2/3/4 with small
//   inodes, and others that keep one), read through a descriptor for reading: a descriptor that
//   is given is used, an O_PATH one is opened again for reading, a name is opened without
//   following a link and checked to be the file statx described;
// - otherwise, for a regular file, SizeAndTimes: its size, last write time and change time. A
//   rename changes the change time, so a check after a move asks sameFileSinceRename.
// A folder gets no witness beyond its number where there is neither birth time nor generation:
// adding or removing an entry changes a folder's size and times, so they would turn the folder of
// a listed file into another one as soon as a neighbour is removed. A folder's witness only has to
// find the listed folder again; what is removed is decided by the file's own witness. Nor does a
// mount's root without a birth time get one, since opening it could ask a file system that must
// not be asked (FUSE, network); links, devices, FIFOs and sockets are never opened either.
//
// Where a descriptor for reading cannot be had (no read permission) a file falls back as if its
// file system kept no generation: the same user reading the same file gets the same kind, and a
// kind that differs makes the identities differ, which refuses rather than removes.

// The statx fields an identity is made of; a caller of identityFrom asks for them all.
inline constexpr unsigned kIdentityFields =
    STATX_TYPE | STATX_INO | STATX_BTIME | STATX_SIZE | STATX_MTIME | STATX_CTIME;

// The number alone, without a witness: what a folder listing tells, for comparing by sameNumber.
inline FileIdentity numberOf(const struct statx& sx) {
    return {static_cast<std::uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor)),
            static_cast<std::uint64_t>(sx.stx_ino),
            {}};
}

// The identity of the file that `sx` describes (read with at least kIdentityFields), which statx
// read as the entry `name` of the folder `at`, or, for an empty `name`, from the descriptor `at`
// itself. Nothing when a descriptor opened to read the generation turned out to be another file:
// the name changed hands while it was being read.
std::optional<FileIdentity> identityFrom(const struct statx& sx, int at, const char* name);

// Reads the identity of the entry `name` of the folder `dirFd` (or of a path, with AT_FDCWD),
// never through a link; `seen`, when given, receives what statx told. Nothing when it cannot be
// read, with errno set.
std::optional<FileIdentity> identityAt(int dirFd, const char* name, struct statx* seen = nullptr);
// The same for the open file or folder `fd` (an O_PATH descriptor will do).
std::optional<FileIdentity> identityOfFd(int fd, struct statx* seen = nullptr);

// True when `now` is the file `listed` after a rename, which sets the change time: the same
// identity, and for SizeAndTimes the same but for the change time.
bool sameFileSinceRename(const FileIdentity& now, const FileIdentity& listed);

inline ChangeTimes changeTimesOf(const struct statx& sx) {
    const auto ns = [](const struct statx_timestamp& t) {
        return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
    };
    return {ns(sx.stx_ctime), ns(sx.stx_mtime)};
}

// Which mount the file lies on: the kernel's mount id when statx was asked for STATX_MNT_ID and
// gave it (Linux 5.8 and later), else its device, with which bind mounts of one file system look
// alike. Keys from one system compare equal exactly when the files share a mount.
inline std::uint64_t mountKeyOf(const struct statx& sx) {
    return (sx.stx_mask & STATX_MNT_ID) != 0 ? sx.stx_mnt_id : numberOf(sx).device;
}

}  // namespace kelmora::platform::posix
