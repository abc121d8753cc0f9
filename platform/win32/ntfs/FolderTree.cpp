#include "platform/win32/ntfs/FolderTree.h"

#include <algorithm>

namespace kelmora::platform::win32::ntfs {
namespace {

constexpr std::uint32_t kDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint64_t kFirstUserRecord = 24;  // below: the volume's own files, never listed

}  // namespace

FolderTree FolderTree::build(MasterFileTable&& table, std::span<const char16_t> upcase) {
    FolderTree tree;
    std::vector<TableFile> files = std::move(table.files);
    const std::uint64_t records = files.empty() ? 0 : files.back().number + 1;
    tree.byRecord_.assign(records, kNone);
    tree.files_.reserve(files.size());
    for (const TableFile& file : files) {
        if (file.number < kFirstUserRecord && file.number != kRootRecord) continue;
        tree.byRecord_[file.number] = static_cast<std::uint32_t>(tree.files_.size());
        File kept;
        kept.reference = file.number | (std::uint64_t{file.sequence} << 48);
        kept.size = file.folder ? 0 : file.size;
        kept.attributes = file.attributes | (file.folder ? kDirectory : 0);
        kept.reparseTag = file.reparseTag.value_or(0);
        tree.files_.push_back(kept);
    }

    // The folder that a name puts a file in, when it is a folder of the tree of that very life.
    const auto parentOf = [&](const TableFile& file,
                              const FileName& name) -> std::optional<std::uint32_t> {
        if (name.space == NameSpace::Dos || file.number < kFirstUserRecord) return std::nullopt;
        const auto parent = tree.fileOfRecord(recordNumberOf(name.parent));
        if (!parent) return std::nullopt;
        const File& folder = tree.files_[*parent];
        if ((folder.attributes & kDirectory) == 0 ||
            (folder.reference >> 48) != sequenceOf(name.parent))
            return std::nullopt;
        return parent;
    };
    std::size_t nameChars = 0;
    for (const TableFile& file : files)
        for (const FileName& name : file.names)
            if (const auto parent = parentOf(file, name)) {
                ++tree.files_[*parent].entries;
                nameChars += name.name.size();
            }
    std::uint32_t next = 0;
    for (File& file : tree.files_) {
        file.firstEntry = next;
        next += file.entries;
        file.entries = 0;
    }
    tree.entries_.resize(next);
    tree.names_.reserve(nameChars);
    for (TableFile& file : files) {
        for (const FileName& name : file.names)
            if (const auto parent = parentOf(file, name)) {
                File& folder = tree.files_[*parent];
                tree.entries_[folder.firstEntry + folder.entries++] = {
                    *tree.fileOfRecord(file.number), static_cast<std::uint32_t>(tree.names_.size()),
                    static_cast<std::uint16_t>(name.name.size())};
                tree.names_ += name.name;
            }
        file.names = {};  // let go of what is consumed
    }

    const auto before = [&](const Entry& a, const Entry& b) {
        const std::u16string_view x = tree.name(a), y = tree.name(b);
        for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
            const char16_t ux = upcase[x[i]], uy = upcase[y[i]];
            if (ux != uy) return ux < uy;
        }
        if (x.size() != y.size()) return x.size() < y.size();
        return x < y;
    };
    for (const File& folder : tree.files_)
        if (folder.entries > 1) {
            const auto first = tree.entries_.begin() + folder.firstEntry;
            std::sort(first, first + folder.entries, before);
        }
    return tree;
}

}  // namespace kelmora::platform::win32::ntfs
