#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/FileIdentity.h"

namespace kelmora {

// One found file: the file as listed (its path and the identities removal checks) and its size in
// bytes when the scan read it.
struct ResultRow : platform::ListedFile {
    std::int64_t size = 0;
};

// The files a scan found, in the order found. The window's list shows row i of this list as its
// row i; both are appended, removed by index and cleared together, so the pairing of a path with
// its size never depends on what the list widget shows.
class ResultList {
  public:
    void append(ResultRow row) { rows_.push_back(std::move(row)); }
    // Removes row `index` (which must exist); the rows after it move up by one.
    void removeAt(std::size_t index) {
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
    }
    void clear() { rows_.clear(); }

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const ResultRow& operator[](std::size_t index) const { return rows_[index]; }

  private:
    std::vector<ResultRow> rows_;
};

}  // namespace kelmora
