#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "platform/FileIdentity.h"

namespace kelmora {

// One found file: the file as listed (its path and the identities removal checks) and its size in
// bytes when the scan read it.
struct ResultRow : platform::ListedFile {
    std::int64_t size = 0;
    // The file may have other names (hard links), listed as rows of their own: totals count its
    // size once, however many of its rows they take in.
    bool mayShare = false;
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
// row i; both are appended, removed by row number and cleared together, so the pairing of a path
// with its size never depends on what the list widget shows.
class ResultList {
  public:
    void append(ResultRow row) { rows_.push_back(std::move(row)); }
    // Removes the rows numbered in `rows` (each an existing row, in any order, repeats allowed)
    // in one pass over the list; the rows that stay keep their order.
    void removeRows(std::vector<std::size_t> rows) {
        if (rows.empty()) return;
        std::sort(rows.begin(), rows.end());
        auto next = rows.begin();
        std::size_t kept = rows.front();
        for (std::size_t row = rows.front(); row < rows_.size(); ++row) {
            if (next != rows.end() && *next == row) {
                while (next != rows.end() && *next == row) ++next;
                continue;
            }
            rows_[kept++] = std::move(rows_[row]);
        }
        rows_.resize(kept);
    }
    void clear() { rows_.clear(); }

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const ResultRow& operator[](std::size_t index) const { return rows_[index]; }

  private:
    std::vector<ResultRow> rows_;
};

}  // namespace kelmora
