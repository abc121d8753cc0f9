// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/win32/ClosedAtEnd.h"
#include "platform/win32/VolumeTable.h"

namespace kelmora::platform::win32 {

// Reads a volume's master file table (VolumeTable::read) on a thread of its own, so that the
// window goes on answering, Stop and closing included, while the table is read: the scan waits for
// it in slices that a message for the window ends (awaitEnd), or walks the disk meanwhile, and
// takes the table up between two folders once it is there.
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
    // Waits until the read has ended, a message has come to the calling thread's queue (so that
    // a window on that thread is kept answering), or `limit` has passed; true when it has ended.
    bool awaitEnd(std::chrono::milliseconds limit) const;
    // The table, once ended(); nothing when it could not be had. Takes it: asked once.
    std::optional<VolumeTable> take();

  private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::optional<VolumeTable> table_;
    ClosedAtEnd endedEvent_;  // set with ended_
    std::thread thread_;
};

}  // namespace kelmora::platform::win32
