// SPDX-License-Identifier: MIT
// The layouts that Windows gives its volumes, laid out to NTFS's published format
// (tests/support/NtfsImage.h), with the same files in each: the table lists what their records
// say, in the index's order, or refuses the volume.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/win32/ntfs/FolderTree.h"
#include "tests/support/NtfsImage.h"

namespace kelmora::platform::win32::ntfs {
namespace {

using namespace test::ntfs;

Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

void plant(Image& image) {
    const auto at = [&](std::uint64_t n) { return Run{std::int64_t(image.allocate(n)), n}; };
    const auto hole = [](std::uint64_t n) { return Run{-1, n}; };
    const auto data = [](std::size_t size) { return resident(0x80, Bytes(size)); };
    const auto in = [](std::uint64_t folder, std::u16string_view name, std::uint8_t space = 1) {
        return fileName(reference(folder, folder), name, space);
    };
    const auto si = standardInformation;
    image.put(24, {{si(0x20), in(5, u"B.tmp", 0), data(1)}});  // POSIX names, apart by case only
    image.put(25, {{si(0x20), in(5, u"b.tmp", 0), data(2)}});
    // A OneDrive placeholder, its reparse data held out of the record.
    const Run cloud = at(1);
    put(image.bytes, cloud.lcn * image.geometry.cluster, std::uint32_t{0x9000001A});
    image.put(26, {{si(0x400420), in(5, u"cloud.tmp"), nonResident(0x80, {hole(16)}, 5000),
                    nonResident(0xC0, {cloud}, 600)}});
    image.put(27, {{si(0x620), in(5, u"dedup.tmp"), nonResident(0x80, {hole(16)}, 8192),
                    reparsePoint(0x80000013)}});
    image.put(28, {{si(0), in(5, u"dir")}, true});
    // Its $ATTRIBUTE_LIST names the extension record that holds its name and data, read first.
    image.put(29, {{in(5, u"spread.tmp"), data(77)}, false, reference(30, 30)});
    image.put(30, {{si(0x20), resident(0x20, listed(0x10, 0, reference(30, 30)) +
                                                 listed(0x30, 0, reference(29, 29)) +
                                                 listed(0x80, 0, reference(29, 29)))}});
    image.put(31, {{si(0x410), in(5, u"junction"), reparsePoint(0xA0000003)}, true});
    image.put(32, {{si(0x410), in(5, u"OneDrive"), reparsePoint(0x9000601A)}, true});
    image.put(
        33, {{si(0x820), in(5, u"packed.bak"), nonResident(0x80, {at(3), hole(13)}, 40000, 0, 4)}});
    image.put(34, {{si(0x220), in(5, u"sparse.old"),
                    nonResident(0x80, {hole((3ull << 30) / image.geometry.cluster)}, 3ull << 30)}});
    image.put(35, {{si(0x420), in(5, u"symlink.tmp"), reparsePoint(0xA000000C)}});
    image.put(36, {{si(0x20), in(5, u"linked.tmp"), in(28, u"linked.tmp"), data(3)}});
    image.put(37, {{si(0x20), in(5, u"gone.tmp"), data(4)}, false, 0, false});  // deleted
    image.put(38, {{si(0x20), in(5, u"report.tmpfile"), in(5, u"REPORT~1.TMP", 2), data(5)}});
    image.put(39, {{si(0x20), in(28, u"inner.chk"), nonResident(0x80, {at(3)}, 10000)}});
}

// Each name from the root down, in listing order: its path, size, attributes and reparse tag.
std::vector<std::string> rowsOf(const FolderTree& tree) {
    std::vector<std::string> rows;
    const auto list = [&](auto& self, std::uint32_t folder, const std::string& path) -> void {
        for (const FolderTree::Entry& entry : tree.entriesOf(folder)) {
            const FolderTree::File& file = tree.file(entry.file);
            std::string name = path;
            for (const char16_t c : tree.name(entry)) name += static_cast<char>(c);
            char facts[48];
            std::snprintf(facts, sizeof facts, " %llu %x %x",
                          static_cast<unsigned long long>(file.size), file.attributes,
                          file.reparseTag);
            rows.push_back(name + facts);
            if (file.attributes & 0x10) self(self, entry.file, name + "\\");
        }
    };
    list(list, *tree.fileOfRecord(FolderTree::kRootRecord), "");
    return rows;
}

TEST(NtfsWindowsLayouts, ListWhatTheRecordsSayInIndexOrderOrAreRefused) {
    const std::vector<std::string> files = {
        "B.tmp 1 20 0",
        "b.tmp 2 20 0",
        "cloud.tmp 5000 400420 9000001a",
        "dedup.tmp 8192 620 80000013",
        "dir 0 10 0",
        "dir\\inner.chk 10000 20 0",
        "dir\\linked.tmp 3 20 0",
        "junction 0 410 a0000003",
        "linked.tmp 3 20 0",
        "OneDrive 0 410 9000601a",
        "packed.bak 40000 820 0",
        "report.tmpfile 5 20 0",
        "sparse.old 3221225472 220 0",
        "spread.tmp 77 20 0",
        "symlink.tmp 0 420 a000000c",
    };
    const struct {
        const char* what;
        Geometry geometry;  // sector, cluster, record, clusters, records, table extents, flags
        std::optional<TableRefusal> refusal;
    } layouts[] = {
        {"512-byte clusters", {512, 512, 1024, 1024}, std::nullopt},
        {"4 KiB records in 512-byte clusters", {512, 512, 4096, 2048}, std::nullopt},
        {"4 KiB sectors, clusters and records", {4096, 4096, 4096, 256}, std::nullopt},
        {"64 KiB clusters", {512, 65536, 1024, 32}, std::nullopt},
        {"2 MiB clusters of 4 KiB sectors", {4096, 2u << 20, 4096, 16}, std::nullopt},
        {"a table in two extents", {512, 4096, 1024, 256, 64, 2}, std::nullopt},
        {"a table in five extents, record 0 with $ATTRIBUTE_LIST",
         {512, 4096, 1024, 256, 80, 5},
         std::nullopt},
        {"a table extent that ends inside a record",
         {512, 512, 1024, 1024, 63, 2},
         TableRefusal::UnexpectedMft},
        {"a volume marked dirty", {512, 4096, 1024, 256, 64, 1, 1}, TableRefusal::DirtyVolume},
    };
    for (const auto& layout : layouts) {
        Image image(layout.geometry);
        plant(image);
        TableRefusal refusal{};
        const auto tree = FolderTree::read(image.reader(), refusal);
        if (layout.refusal) {
            EXPECT_FALSE(tree) << layout.what;
            EXPECT_EQ(refusal, *layout.refusal) << layout.what;
            continue;
        }
        ASSERT_TRUE(tree) << layout.what << ": refused " << static_cast<int>(refusal);
        EXPECT_EQ(rowsOf(*tree), files) << layout.what;
    }
}

}  // namespace
}  // namespace kelmora::platform::win32::ntfs
