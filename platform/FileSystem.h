#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/DirEntry.h"
#include "platform/NativeString.h"

namespace kelmora::platform {

// Read access to the file system that the scan walks. One object serves one window and is used on
// the user-interface thread only. Paths are native texts (see NativeString.h).
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Called once as a scan starts, before its first listing, so that an implementation can refresh
    // what it reads once per scan (the mount table on POSIX). Cannot fail.
    virtual void beginScan() {}

    // Appends to `out` every entry of `folder` (a path that ends in the separator), in the order
    // the platform lists them, "." and ".." included where the platform lists them; `out` is not
    // cleared first. A folder that cannot be opened (denied, gone, path too long) appends nothing
    // and returns false. A failure while reading ends the listing: the entries read so far stay in
    // `out`, and the result is false.
    virtual bool list(const NativeString& folder, std::vector<DirEntry>& out) = 0;

    // The size in bytes of the regular file at `path`, never following a link; nothing when the
    // file is gone, cannot be read, or is no longer a regular file.
    virtual std::optional<std::int64_t> fileSize(const NativeString& path) = 0;

    // True when the file at `path`, which matches a mask, belongs to the operating system or to
    // installed software (a package's file on POSIX, a protected system file on Windows): such a
    // file is no leftover and is never offered for deletion. Asked only of regular files, after
    // beginScan; what an implementation reads to answer, it reads at most once per scan.
    virtual bool isProtected([[maybe_unused]] const NativeString& path) { return false; }
};

}  // namespace kelmora::platform
