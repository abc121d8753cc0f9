// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/shared/StatIdentity.h"
#include "tests/support/ScanTree.h"

namespace kelmora::test {

// A folder's number, whichever life: what tells the folders the walk and the read-ahead opened.
inline platform::FileIdentity numberOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), {}};
}

// The folders that a read-ahead opened, by number, as its observer reports them from its
// threads.
class OpenedFolders {
  public:
    std::function<void(int)> observer() {
        return [this](int fd) {
            struct stat st {};
            if (fstat(fd, &st) != 0) return;
            std::lock_guard<std::mutex> held(lock_);
            folders_.insert(numberOf(st));
        };
    }
    platform::posix::NumberSet folders() {
        std::lock_guard<std::mutex> held(lock_);
        return folders_;
    }

  private:
    std::mutex lock_;
    platform::posix::NumberSet folders_;
};

// `sources` reading ahead everywhere, whatever the caches hold, telling `opened` of each folder,
// and handing every listing read whole over to the walk, however new the folder.
inline platform::posix::PosixFileSystem::Sources readingAhead(
    OpenedFolders& opened, platform::posix::PosixFileSystem::Sources sources = {}) {
    sources.readAhead.everywhere = true;
    sources.readAhead.settled = {};
    sources.readAhead.opened = opened.observer();
    return sources;
}

// A whole scan of `root` through a file system made of `sources`, with the folders it listed, in
// order, and their identities. With `opened`, each pause lasts until the read-ahead has opened no
// folder for 30 ms, so that it reads all it would below every folder before the walk goes on; or,
// given `firstPauseAwaits`, only the first pause lasts, until it has opened that many folders (10 s
// at most), so that a busy machine cannot have the walk end before the read-ahead began.
struct Walked {
    ScanFindings found;
    std::vector<NativeString> folders;
    platform::posix::NumberSet identities;
    std::size_t handedOver = 0;  // listings the walk took from the read-ahead
};
inline Walked walk(const platform::posix::PosixFileSystem::Sources& sources,
                   const NativeString& root, OpenedFolders* opened = nullptr,
                   std::size_t firstPauseAwaits = 0) {
    platform::posix::PosixFileSystem fs(sources);
    Walked walked;
    walked.found = scanTree(fs, root, [&](MainState& state) {
        walked.folders.emplace_back(state.CurrentFolder);
        if (opened && firstPauseAwaits > 0) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (walked.folders.size() == 1 && opened->folders().size() < firstPauseAwaits &&
                   std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return;
        }
        for (std::size_t seen = SIZE_MAX; opened && opened->folders().size() != seen;) {
            seen = opened->folders().size();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    walked.handedOver = fs.handedOver();
    for (const auto& folder : walked.folders) {
        struct stat st {};
        if (lstat(folder.c_str(), &st) == 0) walked.identities.insert(numberOf(st));
    }
    return walked;
}

}  // namespace kelmora::test
