#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/FileIdentity.h"
#include "platform/NativeString.h"

namespace kelmora {

// The folders that the full folder stack refused, waiting for room, first in first out.
//
// Memory grows with names, never with path lengths. A waiting folder is one node: its own name,
// its identity and the index of its parent's node. Each folder on the way to a waiting folder is a
// node holding its name once, shared by everything that waits below it, and it goes with the last
// of them. Besides the nodes the store keeps one path: the folder it was last added to. So N
// folders waiting below a path of P bytes in D parts take about P + (D + N) * sizeof(Node) bytes
// (64 on 64-bit systems, names of up to 15 bytes included) plus the longer names' own bytes;
// 100,000 folders with short names below a 4 KB path take under 7 MB. Everything is given back
// when the last waiting folder leaves.
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
    static constexpr std::uint32_t kNone = UINT32_MAX;
    struct Node {
        NativeString name;
        std::uint32_t parent = kNone;
        std::uint32_t refs = 0;  // child nodes, plus the queue's or the path's own hold on it
        platform::FileIdentity id;
    };
    std::uint32_t newNode(NativeStringView name, std::uint32_t parent,
                          const platform::FileIdentity& id);
    void release(std::uint32_t index);
    void followParent(NativeStringView parent);

    std::vector<Node> nodes_;
    std::vector<std::uint32_t> free_;      // indices of nodes_ free for reuse
    std::deque<std::uint32_t> waiting_;    // the waiting folders' nodes, oldest first
    NativeString lastParent_;              // the folder last added to, ending in the separator
    std::vector<std::uint32_t> lastPath_;  // the nodes of lastParent_'s parts, root first
    std::vector<std::uint32_t> scratch_;   // reused by front()
};

}  // namespace kelmora
