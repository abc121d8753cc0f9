// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>
#include <unordered_set>

#include "platform/FileIdentity.h"

namespace kelmora::platform::posix {

using IdentityHash = FileIdentityHash;

struct SameNumber {
    bool operator()(const FileIdentity& a, const FileIdentity& b) const noexcept {
        return a.sameNumber(b);
    }
};

// Files or folders known by identity, whatever path reaches them.
using IdentitySet = std::unordered_set<FileIdentity, IdentityHash>;
// Folders known by number alone, whichever life: what a listing can look up.
using NumberSet = std::unordered_set<FileIdentity, IdentityHash, SameNumber>;

}  // namespace kelmora::platform::posix
