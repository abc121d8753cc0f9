#include "scan/FolderSpill.h"

namespace kelmora {

std::uint32_t FolderSpill::newNode(NativeStringView name, std::uint32_t parent,
                                   const platform::FileIdentity& id) {
    std::uint32_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        index = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
    }
    Node& node = nodes_[index];
    node.name.assign(name);
    node.parent = parent;
    node.refs = 1;
    node.id = id;
    if (parent != kNone) ++nodes_[parent].refs;
    return index;
}

void FolderSpill::release(std::uint32_t index) {
    while (index != kNone && --nodes_[index].refs == 0) {
        Node& node = nodes_[index];
        NativeString().swap(node.name);  // a long name gives its memory back now
        free_.push_back(index);
        index = node.parent;
    }
}

void FolderSpill::followParent(NativeStringView parent) {
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
    while (lastPath_.size() > kept) {
        release(lastPath_.back());
        lastPath_.pop_back();
    }
    for (std::size_t end; (end = parent.find(kSeparator, at)) != NativeStringView::npos;
         at = end + 1)
        lastPath_.push_back(
            newNode(parent.substr(at, end - at), lastPath_.empty() ? kNone : lastPath_.back(), {}));
    lastParent_.assign(parent);
}

void FolderSpill::add(NativeStringView parent, NativeStringView name,
                      const platform::FileIdentity& id) {
    if (lastPath_.empty() || parent != lastParent_) followParent(parent);
    waiting_.push_back(newNode(name, lastPath_.back(), id));
}

platform::FileIdentity FolderSpill::front(NativeString& path) {
    const std::uint32_t leaf = waiting_.front();
    scratch_.clear();
    for (std::uint32_t at = leaf; at != kNone; at = nodes_[at].parent) scratch_.push_back(at);
    path.clear();
    for (auto it = scratch_.rbegin(); it != scratch_.rend(); ++it) {
        if (it != scratch_.rbegin()) path.push_back(kSeparator);
        path.append(nodes_[*it].name);
    }
    return nodes_[leaf].id;
}

void FolderSpill::pop() {
    release(waiting_.front());
    waiting_.pop_front();
    if (waiting_.empty()) clear();
}

void FolderSpill::clear() {
    std::vector<Node>().swap(nodes_);
    std::vector<std::uint32_t>().swap(free_);
    std::deque<std::uint32_t>().swap(waiting_);
    NativeString().swap(lastParent_);
    std::vector<std::uint32_t>().swap(lastPath_);
    std::vector<std::uint32_t>().swap(scratch_);
}

}  // namespace kelmora
