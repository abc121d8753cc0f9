// SPDX-License-Identifier: MIT
#include "scan/FolderSpill.h"

namespace kelmora {

void FolderSpill::add(NativeStringView parent, NativeStringView name,
                      const platform::FileIdentity& id) {
    waiting_.push_back({names_.add(parent, name), id});
}

platform::FileIdentity FolderSpill::front(NativeString& path) {
    names_.pathOf(waiting_.front().node, path);
    return waiting_.front().id;
}

void FolderSpill::pop() {
    names_.release(waiting_.front().node);
    waiting_.pop_front();
    if (waiting_.empty()) clear();
}

void FolderSpill::clear() {
    names_.clear();
    std::deque<Waiting>().swap(waiting_);
}

}  // namespace kelmora
