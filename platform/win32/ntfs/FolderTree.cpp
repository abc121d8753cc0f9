// SPDX-License-Identifier: MIT
#include "platform/win32/ntfs/FolderTree.h"

#include <algorithm>

namespace kelmora::platform::win32::ntfs {
namespace {

constexpr std::uint32_t kDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint64_t kFirstUserRecord = 24;  // below: the volume's own files, never listed

// Room for a quarter more when `items` is full: growing by doubling would hold three times the
// array for a moment.
template <typename T>
void makeRoom(std::vector<T>& items) {
    if (items.size() == items.capacity())
        items.reserve(items.capacity() + items.capacity() / 4 + 64);
}

}  // namespace

// Takes each record as the reader parses it: a File for each base record in use, an Entry (still
// naming its folder by record) and the text for each name that a listing returns. What an
// extension record adds is kept aside (few files have one) and joined to its base at the end,
// when every folder is known and each Entry can name its folder by index.
class FolderTree::Builder final : public TableSink {
  public:
    explicit Builder(FolderTree& tree) : tree_(tree) {}

    void begin(std::uint64_t records) override {
        if (records >= kNone) return void(tooLarge_ = true);
        tree_.byRecord_.assign(records, kNone);
        tree_.files_.reserve(records);
        tree_.entries_.reserve(records);
    }

    void file(std::uint64_t number, const MftRecord& record) override {
        if (tooLarge_ || number >= tree_.byRecord_.size()) return;
        if (number < kFirstUserRecord && number != kRootRecord) return;
        const auto index = static_cast<std::uint32_t>(tree_.files_.size());
        tree_.byRecord_[number] = index;
        File kept;
        kept.reference = number | (std::uint64_t{record.sequence} << 48);
        kept.size = record.folder ? 0 : record.dataSize.value_or(0);
        kept.attributes = record.attributes.value_or(0) | (record.folder ? kDirectory : 0);
        kept.reparseTag = record.reparseTag.value_or(0);
        kept.securityId = record.securityId;
        makeRoom(tree_.files_);
        tree_.files_.push_back(kept);
        if (number >= kFirstUserRecord)
            for (const FileName& name : record.names) addName(index, name);
    }

    void extension(const MftRecord& record) override {
        if (tooLarge_) return;
        Addition addition{record.base, record.attributes, record.reparseTag, std::nullopt};
        if (record.dataSize && record.dataStartVcn == 0) addition.size = record.dataSize;
        additions_.push_back(addition);
        for (const FileName& name : record.names) {
            if (!addName(kNone, name)) continue;
            joining_.push_back(
                {static_cast<std::uint32_t>(tree_.entries_.size() - 1), record.base});
        }
    }

    // Joins the extension records to their bases, gives each Entry its folder's index (dropping
    // those whose folder is not a folder of the table in that very life) and puts each folder's
    // entries together, in the order of `upcase`.
    bool finish(std::span<const char16_t> upcase) {
        if (tooLarge_) return false;
        for (const Addition& addition : additions_) {
            const auto base = baseOf(addition.base);
            if (!base) continue;
            File& file = tree_.files_[*base];
            if (addition.size && (file.attributes & kDirectory) == 0) file.size = *addition.size;
            if (addition.reparseTag) file.reparseTag = *addition.reparseTag;
            if (addition.attributes)
                file.attributes = *addition.attributes | (file.attributes & kDirectory);
        }
        for (const auto& [entry, base] : joining_) {
            const auto file = baseOf(base);
            Entry& joined = tree_.entries_[entry];
            if (file && recordNumberOf(tree_.files_[*file].reference) >= kFirstUserRecord)
                joined.file = *file;
            else
                joined.folder = kNone;
        }
        additions_ = {};
        joining_ = {};

        std::vector<Entry>& entries = tree_.entries_;
        for (Entry& entry : entries) {
            if (entry.folder == kNone) continue;
            const auto folder = baseOf(entry.folder | (std::uint64_t{entry.folderSequence} << 48));
            entry.folder =
                folder && (tree_.files_[*folder].attributes & kDirectory) ? *folder : kNone;
            entry.folderSequence = 0;
        }
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [](const Entry& entry) { return entry.folder == kNone; }),
                      entries.end());

        // The entries are put together by folder first, which compares numbers only, and then
        // each folder's by name, so that names are compared within a folder, a few at a time.
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.folder < b.folder; });
        const auto before = [&](const Entry& a, const Entry& b) {
            const std::u16string_view x = tree_.name(a), y = tree_.name(b);
            for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
                const char16_t ux = upcase[x[i]], uy = upcase[y[i]];
                if (ux != uy) return ux < uy;
            }
            if (x.size() != y.size()) return x.size() < y.size();
            return x < y;
        };
        std::size_t at = 0;
        for (std::uint32_t i = 0; i < tree_.files_.size(); ++i) {
            const std::size_t first = at;
            while (at < entries.size() && entries[at].folder == i) ++at;
            tree_.files_[i].firstEntry = static_cast<std::uint32_t>(first);
            std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first),
                      entries.begin() + static_cast<std::ptrdiff_t>(at), before);
        }
        return true;
    }

  private:
    // What an extension record adds to its base record's file.
    struct Addition {
        std::uint64_t base = 0;
        std::optional<std::uint32_t> attributes;
        std::optional<std::uint32_t> reparseTag;
        std::optional<std::uint64_t> size;
    };

    // An Entry for `name` of the file `file`, when a listing returns it; its folder by record.
    bool addName(std::uint32_t file, const FileName& name) {
        if (name.space == NameSpace::Dos) return false;
        const std::uint64_t folder = recordNumberOf(name.parent);
        std::vector<std::u16string>& blocks = tree_.blocks_;
        if (blocks.empty() || blocks.back().size() + name.name.size() > kBlock) {
            blocks.emplace_back();
            blocks.back().reserve(kBlock);
        }
        Entry entry;
        entry.file = file;
        entry.folder = folder < kNone ? static_cast<std::uint32_t>(folder) : kNone;
        entry.folderSequence = sequenceOf(name.parent);
        entry.nameAt =
            static_cast<std::uint32_t>((blocks.size() - 1) * kBlock + blocks.back().size());
        entry.nameLength = static_cast<std::uint16_t>(name.name.size());
        blocks.back() += name.name;
        makeRoom(tree_.entries_);
        tree_.entries_.push_back(entry);
        return true;
    }

    // The file of the base record that `reference` names, in that very life.
    std::optional<std::uint32_t> baseOf(std::uint64_t reference) const {
        const auto file = tree_.fileOfRecord(recordNumberOf(reference));
        if (!file || sequenceOf(tree_.files_[*file].reference) != sequenceOf(reference))
            return std::nullopt;
        return file;
    }

    FolderTree& tree_;
    bool tooLarge_ = false;
    std::vector<Addition> additions_;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> joining_;  // entry, its base record
};

std::optional<FolderTree> FolderTree::read(const VolumeReader& read, TableRefusal& refusal) {
    FolderTree tree;
    Builder builder(tree);
    std::vector<char16_t> upcase;
    if (!readMasterFileTable(read, builder, upcase, refusal)) return std::nullopt;
    if (!builder.finish(upcase)) return refusal = TableRefusal::UnexpectedMft, std::nullopt;
    return tree;
}

std::size_t FolderTree::bytes() const {
    std::size_t names = blocks_.capacity() * sizeof(std::u16string);
    for (const std::u16string& block : blocks_) names += (block.capacity() + 1) * sizeof(char16_t);
    return files_.capacity() * sizeof(File) + entries_.capacity() * sizeof(Entry) + names +
           byRecord_.capacity() * sizeof(std::uint32_t);
}

}  // namespace kelmora::platform::win32::ntfs
