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
    const bool folder = node.entry.type == EntryType::Folder;
    folders_[parent].push_back(std::move(node));
    if (folder) folders_.try_emplace(path);
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

bool FakeFileSystem::list(const NativeString& folder, std::vector<DirEntry>& out) {
    listed_.push_back(folder);
    NativeString key = folder;
    if (!key.empty() && key.back() == kSeparator) key.pop_back();
    const auto found = folders_.find(key);
    if (found == folders_.end() || failOpen_.contains(key)) return false;
    std::size_t limit = found->second.size() + 2;
    bool failing = false;
    if (const auto f = failAfter_.find(key); f != failAfter_.end()) {
        limit = f->second;
        failing = true;
    }
    std::vector<DirEntry> all;
    if (dots_ && !key.empty()) {
        all.push_back({fromAscii("."), EntryType::Folder, false, false, {}});
        all.push_back({fromAscii(".."), EntryType::Folder, false, false, {}});
    }
    for (const auto& node : found->second) all.push_back(node.entry);
    for (std::size_t i = 0; i < all.size() && i < limit; ++i) out.push_back(all[i]);
    return !(failing && limit < all.size());
}

std::optional<std::int64_t> FakeFileSystem::fileSize(const NativeString& path) {
    if (vanished_.contains(path)) return std::nullopt;
    const auto found = folders_.find(parentOf(path));
    if (found == folders_.end()) return std::nullopt;
    const NativeString name = path.substr(parentOf(path).size() + 1);
    for (const auto& node : found->second)
        if (node.entry.name == name && node.entry.type == EntryType::File) return node.size;
    return std::nullopt;
}

}  // namespace kelmora::platform
