// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <deque>

#include "platform/FileIdentity.h"
#include "platform/NativeString.h"
#include "scan/NameTree.h"

namespace kelmora {

// The folders that the full folder stack refused, waiting for room, first in first out.
//
// Memory grows with names, never with path lengths: the waiting folders are paths of a NameTree,
// each with the identity its listing gave it. Each folder on the way to a waiting folder holds its
// name once, shared by everything that waits below it, and it goes with the last of them. So N
// folders waiting below a path of P bytes in D parts take about P + D * 40 + N * 96 bytes on
// 64-bit systems (names of up to 15 bytes included), plus the longer names' own bytes; 100,000
// folders with short names below a 4 KB path take about 10 MB. Everything is given back when the
// last waiting folder leaves.
class FolderSpill {
  public:
    // Adds the folder `name`, found in `parent` (a folder path that ends in the separator), with
    // the identity its listing gave it.
    void add(NativeStringView parent, NativeStringView name, const platform::FileIdentity& id);

    bool empty() const { return waiting_.empty(); }
    std::size_t size() const { return waiting_.size(); }
    // The oldest waiting folder, which must exist: its path without a trailing separator goes to
    // `path`, its identity is returned.
    platform::FileIdentity front(NativeString& path);
    // Drops the oldest waiting folder, which must exist.
    void pop();
    // Drops every waiting folder.
    void clear();

  private:
    struct Waiting {
        NameTree::Node node;
        platform::FileIdentity id;
    };
    NameTree names_;
    std::deque<Waiting> waiting_;  // oldest first
};

}  // namespace kelmora
