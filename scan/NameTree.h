// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

#include "platform/NativeString.h"

namespace kelmora {

// Paths held as a tree of names: each part of a path is a node with its own name and a reference
// to its parent's node, so that a folder's name is held once however many paths pass through it,
// and the memory of many paths grows with their names, never with their lengths.
//
// A node lives while someone holds it: the caller that added it, until it releases it, and each
// child node. Besides its nodes the tree keeps one path, the parent last added to, and holds its
// parts' nodes, so that paths added one after another in a depth-first walk share them; a node
// costs 44 bytes on 64-bit systems, names of up to 15 bytes included (on Windows, of 7), plus a
// longer name's own bytes.
class NameTree {
  public:
    using Node = std::uint32_t;

    // Adds the path `parent` + `name`, where `parent` is empty or ends in the separator, and
    // returns its node, held for the caller. Its parent's parts are the nodes of the parent last
    // added to as far as the texts agree, part by part, and new ones after.
    Node add(NativeStringView parent, NativeStringView name);
    // The same for a whole path: its parent is everything up to its last separator.
    Node add(NativeStringView path);
    // Adds `name` below the last part of the kept path (the parent last added to, or the node last
    // followed), in time for its name alone, and returns its node, held for the caller.
    Node addChild(NativeStringView name);
    // Makes `node`'s path the kept path and returns it followed by the separator. It costs the
    // parts that differ from the path kept before, not the whole text: a depth-first walk that
    // follows each folder it takes pays for every name once. `sameAsLast` tells how many leading
    // characters are the same text as the path follow gave last (0 the first time after clear).
    // The text stays valid until the next add, follow or clear.
    const NativeString& follow(Node node, std::size_t& sameAsLast);
    // Holds `node` once more for the caller, who releases it like a node it added.
    void hold(Node node) { ++nodes_[node].refs; }
    // The path of `node`, into `out`: its parts' names joined by separators.
    void pathOf(Node node, NativeString& out) const;
    // Lets go of the caller's hold on `node`; it goes, and its parents with it, once unheld.
    void release(Node node);
    // Drops every node and gives all memory back.
    void clear();
    // The nodes alive.
    std::size_t size() const { return nodes_.size() - free_.size(); }

  private:
    static constexpr Node kNone = UINT32_MAX;
    struct Part {
        NativeString name;
        Node parent = kNone;
        std::uint32_t refs = 0;  // child nodes, plus the caller's or the kept path's hold on it
    };
    Node newNode(NativeStringView name, Node parent);
    void followParent(NativeStringView parent);
    // Shortens the kept path to its first `parts` parts, or lengthens it by `node`, held.
    void keepParts(std::size_t parts);
    void keepPart(Node node);

    std::vector<Part> nodes_;
    std::vector<Node> free_;             // indices of nodes_ free for reuse
    NativeString lastParent_;            // the parent last added to, ending in the separator
    std::vector<Node> lastPath_;         // the nodes of lastParent_'s parts, root first
    std::vector<std::size_t> lastEnds_;  // where each part ends in lastParent_, its separator in
    std::vector<std::uint32_t> onPath_;  // per node: 1 + its place in lastPath_, or 0
    std::size_t sameSinceFollow_ = 0;    // how much of lastParent_ is unchanged since follow
    mutable std::vector<Node> scratch_;  // reused by pathOf
};

}  // namespace kelmora
