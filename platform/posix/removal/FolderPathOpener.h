// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileIdentity.h"
#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {

// Opens folders by their absolute path from "/", one component at a time with openat and
// O_NOFOLLOW, so that no symbolic link anywhere on the path is followed; mount points are crossed
// as usual. The opened folders are O_PATH descriptors: they serve as the base of *at calls and
// fstat, they cannot be read.
//
// It keeps the folders of the last path open (up to kHeldLevels of them, the root included), so
// that the next path that shares the beginning opens only the components that differ: the rows
// of one folder, and of neighbouring folders, come one after another. A kept folder is the one
// opened then, whatever its path reaches now; its identity is what callers check. release() lets
// all of them go, so that no mount stays busy.
//
// Like the walk's FolderChain, it can back off when the process runs out of descriptors (EMFILE,
// ENFILE): its caller then asks it to hold half as many levels (holdFewer), again and again down
// to the root alone, and tries again; the folders beyond the held ones are opened one at a time
// (at most two open at once), and no more are held until release(). So a folder is given up for
// want of descriptors only when not even the root and two more can be open at once.
class FolderPathOpener {
  public:
    static constexpr std::size_t kHeldLevels = 64;

    // What is known of the folder open() returned last.
    struct Facts {
        FileIdentity identity;
        std::uint64_t mountKey = 0;  // the mount it lies on, see mountKeyOf
    };

    // Opens the folder `folder`: "" for the root, else "/" followed by components separated by
    // single "/", none of them "." or "..". Returns its descriptor, owned by the chain and valid
    // until the next open() or release(), or -errno: EINVAL for a malformed path, ENOENT when a
    // component is missing, ENOTDIR when one is a link or no folder, others as openat gives them.
    int open(std::string_view folder);

    // The facts of the folder open() returned last (a successful call must come first); read
    // once per folder. Nothing when the system will not tell them, with errno set.
    const Facts* facts();

    // Closes every folder kept, and lets later calls hold kHeldLevels again.
    void release();

    // Holds half as many levels as now (the deepest go), for a caller that ran out of descriptors
    // after open(); false when only the root is held, and nothing can be freed. open() must come
    // again before the chain is used.
    bool holdFewer();

  private:
    struct Level {
        std::size_t end;  // the length of path_ up to and including this level's component
        UniqueFd fd;
    };
    int deepest() const { return tail_ ? tail_.get() : levels_.back().fd.get(); }
    void dropBeyond(std::size_t keep);

    std::string path_;                // the path of the deepest folder open
    std::vector<Level> levels_;       // levels_[k]: the folder after k components; [0] is the root
    UniqueFd tail_;                   // the deepest folder when it lies beyond the held levels
    std::optional<Facts> facts_;      // of the deepest folder, once read
    std::string name_;                // one component, zero-terminated for openat
    std::size_t held_ = kHeldLevels;  // levels that may be held, fewer after running out
};

}  // namespace kelmora::platform::posix
