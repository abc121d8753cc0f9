// SPDX-License-Identifier: MIT
#include "platform/posix/listing/KeptListings.h"

namespace kelmora::platform::posix {

void KeptListings::keep(const FileIdentity& folder, const ChangeTimes& times, Listing listing) {
    const std::size_t cost = listing.entries.size() + kOverhead;
    if (cost > bounds_.bytes || bounds_.folders == 0) return;
    std::lock_guard<std::mutex> held(mutex_);
    if (auto found = byNumber_.find({folder.device, folder.inode}); found != byNumber_.end())
        dropLocked(found->second);
    while (!order_.empty() && (bytes_ + cost > bounds_.bytes || order_.size() >= bounds_.folders))
        dropLocked(order_.begin());
    order_.push_back({folder, times, std::move(listing), cost});
    byNumber_.emplace(Key{folder.device, folder.inode}, std::prev(order_.end()));
    bytes_ += cost;
    count_ = order_.size();
}

std::optional<KeptListings::Listing> KeptListings::take(const FileIdentity& folder,
                                                        const ChangeTimes& times) {
    if (count_.load(std::memory_order_relaxed) == 0) return std::nullopt;
    std::lock_guard<std::mutex> held(mutex_);
    const auto found = byNumber_.find({folder.device, folder.inode});
    if (found == byNumber_.end()) return std::nullopt;
    std::optional<Listing> taken;
    if (found->second->folder == folder && found->second->times == times)
        taken = std::move(found->second->listing);
    dropLocked(found->second);
    return taken;
}

void KeptListings::dropLocked(std::list<Kept>::iterator kept) {
    bytes_ -= kept->cost;
    byNumber_.erase({kept->folder.device, kept->folder.inode});
    order_.erase(kept);
    count_ = order_.size();
}

void KeptListings::clear() {
    std::lock_guard<std::mutex> held(mutex_);
    order_.clear();
    byNumber_.clear();
    bytes_ = 0;
    count_ = 0;
}

std::size_t KeptListings::folders() const {
    std::lock_guard<std::mutex> held(mutex_);
    return order_.size();
}

std::size_t KeptListings::bytes() const {
    std::lock_guard<std::mutex> held(mutex_);
    return bytes_;
}

}  // namespace kelmora::platform::posix
