// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "platform/FileIdentity.h"
#include "platform/posix/mounts/MountTable.h"
#include "platform/posix/shared/Facts.h"

namespace kelmora::platform::posix {

// The open folders on the way from the scan root to the folder opened last, so that each folder
// is opened relative to an open ancestor and never by its full path: a link or a renamed folder
// anywhere on the path cannot lead the walk elsewhere, and depth is unlimited (no path is handed
// to the kernel whole, so PATH_MAX does not apply).
//
// Each step opens one name relative to its parent's descriptor with openat2 and
// RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV: it follows no link and crosses no mount. A name that
// is a mount point is first opened with O_PATH, which asks nothing of the file system below it,
// and read for reading only when it is the expected folder on a mount that the MountPolicy enters,
// confirmed by fstatfs. Where the kernel lacks openat2 every step goes that second way.
//
// At most kMaxOpen descriptors are held besides the root's; the shallowest go first when the chain
// is deeper, and are opened again from the nearest open ancestor (or the root) when needed. When
// the process runs out of descriptors (EMFILE, ENFILE) the chain holds half as many, again and
// again down to one, going on each time from the deepest ancestor still open, and last tries from
// the root alone; it holds no more than that until the next openRoot. So a folder is given up for
// want of descriptors only when not even the root, one ancestor and the folder itself can be open
// at once. Depth-first order makes the next folder's parent almost always the folder opened last.
class FolderChain {
  public:
    static constexpr std::size_t kMaxOpen = 48;

    // How steps are taken: openat2 where the kernel has it, or always the second way (for tests
    // of the way that kernels without openat2 take).
    enum class Steps { Openat2WhereAvailable, PathDescriptorsOnly };

    explicit FolderChain(MountPolicy& mounts, Steps steps = Steps::Openat2WhereAvailable)
        : mounts_(mounts), tryOpenat2_(steps == Steps::Openat2WhereAvailable) {}
    ~FolderChain();
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // Opens the scan root `folder` (ending in "/") by its path, which is taken as given, links in
    // it included, and lets every other folder go. False when it cannot be opened.
    bool openRoot(const std::string& folder);
    // Opens `folder` (a path below the root, ending in "/"), whose last part must have the
    // identity `expected`; the parts between the nearest open ancestor and it are opened on the
    // way, with the same care. False when a part cannot be opened, is a link, lies on a mount the
    // policy does not enter, or the folder is not `expected`. The first `sameAsLast` characters of
    // `folder` are known to be the same text as the folder asked for last (openRoot's or open's),
    // and are not compared again.
    bool open(const std::string& folder, const FileIdentity& expected, std::size_t sameAsLast = 0);
    // Lets every descriptor go.
    void closeAll();

    // The folder opened last by a successful openRoot or open: its descriptor and facts. -1 after
    // a failed one.
    int currentFd() const { return currentFd_; }
    const Facts& current() const { return current_; }

  private:
    struct OpenFolder {
        int fd;
        std::size_t end;  // where the folder's path ends in path_: the index of its "/"
        Facts facts;
    };
    bool openBelow(const std::string& folder, const FileIdentity& expected, std::size_t sameAsLast,
                   bool& outOfFds);
    int step(const OpenFolder& parent, const char* name, const FileIdentity* expected,
             Facts& facts);
    int stepThroughPath(const OpenFolder& parent, const char* name, const FileIdentity* expected,
                        Facts& facts);
    void push(OpenFolder folder);
    void closeBelowRoot();

    MountPolicy& mounts_;
    OpenFolder root_{-1, 0, {}};
    std::deque<OpenFolder> open_;  // contiguous, deepest last; each a prefix of path_
    std::string path_;             // the deepest open folder's path, ending in "/"
    bool pathBeginsLast_ = false;  // whether path_ begins the folder asked for last
    std::string name_;             // the part being opened, reused
    std::size_t held_ = kMaxOpen;  // how many of open_ may be held, fewer after running out
    int currentFd_ = -1;
    Facts current_;
    bool tryOpenat2_;
};

}  // namespace kelmora::platform::posix
