// SPDX-License-Identifier: MIT
#include "platform/fake/FakeFileSystem.h"

namespace kelmora::platform {

NativeString FakeFileSystem::parentOf(const NativeString& path) {
    const auto cut = path.find_last_of(kSeparator);
    return cut == NativeString::npos ? NativeString{} : path.substr(0, cut);
}

void FakeFileSystem::add(const NativeString& path, Node node) {
    const NativeString parent = parentOf(path);
    if (!folders_.contains(parent)) addFolder(parent);
    node.entry.name = path.substr(parent.size() + 1);
    node.entry.id = {1, nextInode_++, {}};
    const bool folder = node.entry.type == EntryType::Folder;
    if (folder) {
        folders_.try_emplace(path);
        folderIds_[path] = node.entry.id;
    }
    folders_[parent].push_back(std::move(node));
}

void FakeFileSystem::addFolder(const NativeString& path, bool hidden, bool system) {
    if (path.empty()) return;
    Node node;
    node.entry.type = EntryType::Folder;
    node.entry.hidden = hidden;
    node.entry.system = system;
    add(path, node);
}

void FakeFileSystem::addFile(const NativeString& path, std::int64_t size, bool hidden,
                             bool system) {
    Node node;
    node.entry.type = EntryType::File;
    node.entry.hidden = hidden;
    node.entry.system = system;
    node.size = size;
    add(path, node);
}

void FakeFileSystem::addOther(const NativeString& path) {
    Node node;
    node.entry.type = EntryType::Other;
    add(path, node);
}

void FakeFileSystem::replaceFolder(const NativeString& path) {
    folderIds_[path] = {1, nextInode_++, {}};
}

FileIdentity FakeFileSystem::identityOf(const NativeString& path) const {
    if (const auto found = folderIds_.find(path); found != folderIds_.end()) return found->second;
    const NativeString parent = parentOf(path);
    const NativeString name = path.substr(parent.size() + 1);
    for (const auto& node : folders_.at(parent))
        if (node.entry.name == name) return node.entry.id;
    return {};
}

std::optional<FileIdentity> FakeFileSystem::list(const NativeString& folder,
                                                 const std::optional<FileIdentity>& expected,
                                                 std::vector<DirEntry>& out, std::size_t) {
    listed_.push_back(folder);
    haveListing_ = false;
    NativeString key = folder;
    if (!key.empty() && key.back() == kSeparator) key.pop_back();
    const auto found = folders_.find(key);
    if (found == folders_.end() || failOpen_.contains(key)) return std::nullopt;
    const FileIdentity id = folderIds_.at(key);
    if (expected && *expected != id) return std::nullopt;
    lastListed_ = key;
    haveListing_ = true;
    std::size_t limit = found->second.size() + 2;
    if (const auto f = failAfter_.find(key); f != failAfter_.end()) limit = f->second;
    std::vector<DirEntry> all;
    if (dots_ && !key.empty()) {
        all.push_back({fromAscii("."), EntryType::Folder, false, false, id, -1});
        all.push_back({fromAscii(".."), EntryType::Folder, false, false, {}, -1});
    }
    for (const auto& node : found->second) all.push_back(node.entry);
    for (std::size_t i = 0; i < all.size() && i < limit; ++i) out.push_back(all[i]);
    return id;
}

std::optional<FileDetails> FakeFileSystem::fileDetails(const DirEntry& entry) {
    if (!haveListing_) return std::nullopt;
    const NativeString path = lastListed_ + kSeparator + entry.name;
    if (vanished_.contains(path)) return std::nullopt;
    for (const auto& node : folders_.at(lastListed_))
        if (node.entry.name == entry.name && node.entry.type == EntryType::File)
            return FileDetails{node.size, node.entry.id};
    return std::nullopt;
}

}  // namespace kelmora::platform
