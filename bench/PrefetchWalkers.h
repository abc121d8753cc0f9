// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "bench/ReferenceWalker.h"
#include "platform/posix/listing/ReadAhead.h"

namespace kelmora::bench {

// The two ways of reading ahead that were weighed, each added to the reference walker, which
// stays as it is on its one thread.

// With the listing layer's ReadAhead: each listing offered to it, as the engine offers them.
WalkResult referenceWalkWithReadAhead(const std::string& root,
                                      const platform::posix::ReadAhead::Options& options);

// With io_uring from the walker's own thread: after each listing, statx of the folders the walker
// visits next, up to `inFlight` at once, submitted without waiting. io_uring has no operation that
// lists a folder, so this brings in the folders' inodes but not their listings.
WalkResult referenceWalkWithUring(const std::string& root, unsigned inFlight);

// What the running kernel's io_uring offers, for the record: the number of its operations and
// whether reading a folder or advising on one brings its listing in.
std::string uringReport(const std::string& folder);

}  // namespace kelmora::bench
