// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_set>
#include <vector>

#include "platform/FileIdentity.h"
#include "scan/NameTree.h"

namespace kelmora {

// One found file as a row holds it: the folder it was listed in (a node of the list's folder
// tree, shared by every row of that folder), its name (in the list's name store), the identity
// removal checks and its size in bytes when the scan read it. The path is built from the folder
// and the name only when it is shown or acted upon.
struct ResultRow {
    NameTree::Node folder = 0;
    std::uint32_t nameAt = 0;      // where the name starts in the list's name store
    std::uint16_t nameLength = 0;  // in native characters; no file system allows longer names
    // The file may have other names (hard links), listed as rows of their own: totals count its
    // size once, however many of its rows they take in.
    bool mayShare = false;
    bool bare = false;  // the name is the whole path: its folder was given as no text at all
    std::int64_t size = 0;
    platform::FileIdentity file;
};

// The size a total adds for each of a run of rows: a row's size the first time its file comes,
// nothing when another row of the same file came before.
class CountOncePerFile {
  public:
    std::int64_t sizeToAdd(const ResultRow& row) {
        return !row.mayShare || seen_.insert(row.file).second ? row.size : 0;
    }
    void clear() { seen_.clear(); }

  private:
    std::unordered_set<platform::FileIdentity, platform::FileIdentityHash> seen_;
};

// The files a scan found, in the order found. The window's list shows row i of this list as its
// row i, reading it here whenever it draws it; both are appended, removed by row number and
// cleared together, so the pairing of a path with its size never depends on what the list widget
// shows.
//
// Memory grows with the rows and their names, never with the depth of their folders: a row takes
// 76 bytes on 64-bit systems plus its name's characters; each folder that holds rows is held once
// by its own name in a NameTree (44 bytes and the name), with its identity (48 bytes), and so is
// each folder above one. A row and its name keep their place in memory until the list is cleared,
// so that a view may name the row by its key (see keyOf) while the rows are renumbered around it.
class ResultList {
  public:
    using Folder = NameTree::Node;
    using Key = std::uint32_t;

    // The folder at `path` (ending in the separator; empty for names that are whole paths), listed
    // with identity `id`, for the rows that follow. It costs the length of `path`; the list holds
    // it until the next addFolder.
    Folder addFolder(NativeStringView path, const platform::FileIdentity& id);
    // Appends the file `name` of `folder`, a folder given by the last addFolder. A name is at most
    // 65,535 characters long (file systems allow 255).
    void append(Folder folder, NativeStringView name, const platform::FileIdentity& file,
                std::int64_t size, bool mayShare);
    // Appends a file by its whole path, for callers that have it at hand.
    void append(const platform::ListedFile& file, std::int64_t size, bool mayShare = false);
    // Removes the rows numbered in `rows` (each an existing row, in any order, repeats allowed)
    // in one pass over the list; the rows that stay keep their order.
    void removeRows(std::vector<std::size_t> rows);
    void clear();

    std::size_t size() const { return order_.size(); }
    bool empty() const { return order_.empty(); }
    const ResultRow& operator[](std::size_t index) const { return slots_[order_[index]]; }
    // A name for row `index` that stays its own until the list is cleared, whatever rows leave.
    Key keyOf(std::size_t index) const { return order_[index]; }
    const ResultRow& atKey(Key key) const { return slots_[key]; }

    NativeStringView nameOf(const ResultRow& row) const {
        return {names_[row.nameAt >> 16].data() + (row.nameAt & 0xFFFF), row.nameLength};
    }
    // The row's whole native path, into `out`.
    void pathOf(const ResultRow& row, NativeString& out) const;
    NativeString pathOf(std::size_t index) const;
    // The row as removal acts on it: its path, its identity and its folder's.
    platform::ListedFile listed(std::size_t index) const;

  private:
    NameTree folders_;
    std::vector<platform::FileIdentity> folderIds_;  // by folder node
    Folder lastFolder_ = 0;
    bool holdsLast_ = false;       // whether the list holds lastFolder_ for rows to come
    bool lastBare_ = false;        // whether lastFolder_ was given as no path at all
    std::deque<ResultRow> slots_;  // rows by key; a deque, so that growing never copies them
    std::vector<Key> order_;       // the rows in list order
    // The rows' names one after another, in blocks of 65,536 characters, none across two blocks.
    static constexpr std::size_t kNameBlock = 65536;
    std::vector<std::vector<NativeChar>> names_;
    std::size_t nameBlockUsed_ = kNameBlock;  // of the last block
};

}  // namespace kelmora
