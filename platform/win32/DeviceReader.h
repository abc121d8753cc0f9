// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "platform/win32/ntfs/MasterFileTable.h"

namespace kelmora::platform::win32 {

// Reads a volume's device (\\.\C:) for the table reader (an ntfs::VolumeReader). The piece that
// the reader says comes next is read meanwhile, on a thread of its own, so that the disk delivers
// it while the piece before it is parsed.
//
// Reads go through page-aligned buffers, as reads of a raw volume must be aligned (in place,
// length and memory) to its sector size on Windows. Called from one thread; `device` stays open,
// the caller's, until this object is gone, which first waits for a read still under way. A failed
// or short read fails the call that asks for its piece; once `stop` (when given) is set, every call
// fails.
class DeviceReader {
  public:
    DeviceReader(HANDLE device, const std::atomic<bool>* stop);
    ~DeviceReader();
    DeviceReader(const DeviceReader&) = delete;
    DeviceReader& operator=(const DeviceReader&) = delete;

    bool operator()(std::uint64_t offset, std::span<std::byte> into,
                    std::optional<ntfs::Piece> next);

  private:
    struct Buffer {
        void* memory = nullptr;
        std::size_t capacity = 0;
        Buffer() = default;
        Buffer(const Buffer&) = delete;
        Buffer& operator=(const Buffer&) = delete;
        ~Buffer();
        bool fit(std::size_t length);
    };
    bool readInto(Buffer& buffer, ntfs::Piece piece);
    void readAhead();

    HANDLE device_;
    const std::atomic<bool>* stop_;
    // The caller's piece is read into buffers_[current_], the next one into the other, by
    // `worker_` while `busy_`; `ahead_` is that piece, and `aheadRead_` says whether it was read.
    Buffer buffers_[2];
    int current_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<ntfs::Piece> ahead_;
    bool busy_ = false;
    bool aheadRead_ = false;
    bool ending_ = false;
    std::thread worker_;
};

}  // namespace kelmora::platform::win32
