#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/win32/VolumeTable.h"

namespace kelmora::platform::win32 {

// Reads a volume's master file table (VolumeTable::read) on a thread of its own, so that the scan
// goes on walking the disk, and the window answering, Stop and closing included, while the table
// is read; the scan takes the table up between two folders once it is there.
//
// The thread only reads and parses: it produces no rows and decides nothing. Destroying the read
// stops it after the read in progress (one piece of at most 4 MiB) and waits for it.
class TableRead {
  public:
    explicit TableRead(std::wstring root);
    ~TableRead();
    TableRead(const TableRead&) = delete;
    TableRead& operator=(const TableRead&) = delete;

    // True once the thread has ended, with a table or without.
    bool ended() const { return ended_.load(std::memory_order_acquire); }
    // The table, once ended(); nothing when it could not be had. Takes it: asked once.
    std::optional<VolumeTable> take();

  private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::optional<VolumeTable> table_;
    std::thread thread_;
};

}  // namespace kelmora::platform::win32
