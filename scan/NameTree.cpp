// SPDX-License-Identifier: MIT
#include "scan/NameTree.h"

#include <algorithm>

namespace kelmora {

NameTree::Node NameTree::newNode(NativeStringView name, Node parent) {
    Node index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        index = static_cast<Node>(nodes_.size());
        nodes_.emplace_back();
        onPath_.push_back(0);
    }
    Part& node = nodes_[index];
    node.name.assign(name);
    node.parent = parent;
    node.refs = 1;
    if (parent != kNone) ++nodes_[parent].refs;
    return index;
}

void NameTree::release(Node index) {
    while (index != kNone && --nodes_[index].refs == 0) {
        Part& node = nodes_[index];
        NativeString().swap(node.name);  // a long name gives its memory back now
        free_.push_back(index);
        index = node.parent;
    }
}

void NameTree::keepParts(std::size_t parts) {
    while (lastPath_.size() > parts) {
        onPath_[lastPath_.back()] = 0;
        release(lastPath_.back());
        lastPath_.pop_back();
        lastEnds_.pop_back();
    }
    lastParent_.resize(parts == 0 ? 0 : lastEnds_[parts - 1]);
    sameSinceFollow_ = std::min(sameSinceFollow_, lastParent_.size());
}

void NameTree::keepPart(Node node) {
    lastPath_.push_back(node);
    onPath_[node] = static_cast<std::uint32_t>(lastPath_.size());
    lastParent_.append(nodes_[node].name).push_back(kSeparator);
    lastEnds_.push_back(lastParent_.size());
}

void NameTree::followParent(NativeStringView parent) {
    // Keep the nodes of the parts that `parent` shares with the last parent, part by part with
    // their separators, and make nodes for the rest. Depth-first order makes most of them shared.
    std::size_t kept = 0, at = 0;
    while (kept < lastPath_.size()) {
        const std::size_t end = parent.find(kSeparator, at);
        if (end == NativeStringView::npos ||
            NativeStringView(lastParent_).substr(at, end + 1 - at) !=
                parent.substr(at, end + 1 - at))
            break;
        ++kept;
        at = end + 1;
    }
    keepParts(kept);
    for (std::size_t end; (end = parent.find(kSeparator, at)) != NativeStringView::npos;
         at = end + 1)
        keepPart(
            newNode(parent.substr(at, end - at), lastPath_.empty() ? kNone : lastPath_.back()));
}

const NativeString& NameTree::follow(Node node, std::size_t& sameAsLast) {
    // Climb to the nearest part that the kept path holds; only the parts below it change.
    scratch_.clear();
    Node at = node;
    while (at != kNone && onPath_[at] == 0) {
        scratch_.push_back(at);
        at = nodes_[at].parent;
    }
    keepParts(at == kNone ? 0 : onPath_[at]);
    for (auto it = scratch_.rbegin(); it != scratch_.rend(); ++it) {
        hold(*it);
        keepPart(*it);
    }
    sameAsLast = sameSinceFollow_;
    sameSinceFollow_ = lastParent_.size();
    return lastParent_;
}

NameTree::Node NameTree::addChild(NativeStringView name) {
    return newNode(name, lastPath_.empty() ? kNone : lastPath_.back());
}

NameTree::Node NameTree::add(NativeStringView parent, NativeStringView name) {
    if (parent != lastParent_) followParent(parent);
    return addChild(name);
}

NameTree::Node NameTree::add(NativeStringView path) {
    const std::size_t cut = path.rfind(kSeparator);
    if (cut == NativeStringView::npos) return add(NativeStringView(), path);
    return add(path.substr(0, cut + 1), path.substr(cut + 1));
}

void NameTree::pathOf(Node node, NativeString& out) const {
    scratch_.clear();
    for (Node at = node; at != kNone; at = nodes_[at].parent) scratch_.push_back(at);
    out.clear();
    for (auto it = scratch_.rbegin(); it != scratch_.rend(); ++it) {
        if (it != scratch_.rbegin()) out.push_back(kSeparator);
        out.append(nodes_[*it].name);
    }
}

void NameTree::clear() {
    std::vector<Part>().swap(nodes_);
    std::vector<Node>().swap(free_);
    NativeString().swap(lastParent_);
    std::vector<Node>().swap(lastPath_);
    std::vector<std::size_t>().swap(lastEnds_);
    std::vector<std::uint32_t>().swap(onPath_);
    sameSinceFollow_ = 0;
    std::vector<Node>().swap(scratch_);
}

}  // namespace kelmora
