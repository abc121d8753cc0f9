// SPDX-License-Identifier: MIT
#include "results/ResultList.h"

#include <algorithm>
#include <stdexcept>

namespace kelmora {

ResultList::Folder ResultList::addFolder(NativeStringView path, const platform::FileIdentity& id) {
    if (holdsLast_) folders_.release(lastFolder_);
    lastBare_ = path.empty();  // names given without any folder: their paths are the names alone
    // The tree holds each folder by its parts, without the separator that ends the folder's path.
    if (!path.empty() && path.back() == kSeparator) path.remove_suffix(1);
    lastFolder_ = folders_.add(path);
    holdsLast_ = true;
    if (folderIds_.size() <= lastFolder_) folderIds_.resize(lastFolder_ + 1);
    folderIds_[lastFolder_] = id;
    return lastFolder_;
}

void ResultList::append(Folder folder, NativeStringView name, const platform::FileIdentity& file,
                        std::int64_t size, bool mayShare) {
    if (name.size() > 0xFFFF) throw std::length_error("a file name too long to list");
    if (nameBlockUsed_ + name.size() > kNameBlock) {
        names_.emplace_back(kNameBlock);
        nameBlockUsed_ = 0;
    }
    const auto at = static_cast<std::uint32_t>((names_.size() - 1) << 16 | nameBlockUsed_);
    std::copy(name.begin(), name.end(),
              names_.back().begin() + static_cast<std::ptrdiff_t>(nameBlockUsed_));
    nameBlockUsed_ += name.size();
    folders_.hold(folder);
    order_.push_back(static_cast<Key>(slots_.size()));
    slots_.push_back({folder, at, static_cast<std::uint16_t>(name.size()), mayShare,
                      folder == lastFolder_ && lastBare_, size, file});
}

void ResultList::append(const platform::ListedFile& file, std::int64_t size, bool mayShare) {
    const NativeStringView path(file.path);
    const std::size_t cut = path.rfind(kSeparator) + 1;  // 0 when there is no separator
    append(addFolder(path.substr(0, cut), file.folder), path.substr(cut), file.file, size,
           mayShare);
}

void ResultList::removeRows(std::vector<std::size_t> rows) {
    if (rows.empty()) return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    auto next = rows.begin();
    std::size_t kept = rows.front();
    for (std::size_t row = rows.front(); row < order_.size(); ++row) {
        if (next != rows.end() && *next == row) {
            ++next;
            // The row's slot and name stay for views that still name it; its folder goes now.
            folders_.release(slots_[order_[row]].folder);
            continue;
        }
        order_[kept++] = order_[row];
    }
    order_.resize(kept);
}

void ResultList::clear() {
    folders_.clear();
    std::vector<platform::FileIdentity>().swap(folderIds_);
    holdsLast_ = false;
    std::deque<ResultRow>().swap(slots_);
    std::vector<Key>().swap(order_);
    std::vector<std::vector<NativeChar>>().swap(names_);
    nameBlockUsed_ = kNameBlock;
}

void ResultList::pathOf(const ResultRow& row, NativeString& out) const {
    out.clear();
    if (!row.bare) {
        folders_.pathOf(row.folder, out);
        out.push_back(kSeparator);
    }
    out.append(nameOf(row));
}

NativeString ResultList::pathOf(std::size_t index) const {
    NativeString path;
    pathOf((*this)[index], path);
    return path;
}

platform::ListedFile ResultList::listed(std::size_t index) const {
    const ResultRow& row = (*this)[index];
    return {pathOf(index), row.file, folderIds_[row.folder]};
}

}  // namespace kelmora
