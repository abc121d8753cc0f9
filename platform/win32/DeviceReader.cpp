// SPDX-License-Identifier: MIT
#include "platform/win32/DeviceReader.h"

#include <cstring>

namespace kelmora::platform::win32 {

bool DeviceReader::Buffer::fit(std::size_t length) {
    if (length <= capacity) return true;
    if (memory) VirtualFree(memory, 0, MEM_RELEASE);
    memory = VirtualAlloc(nullptr, length, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    capacity = memory ? length : 0;
    return memory != nullptr;
}

DeviceReader::Buffer::~Buffer() {
    if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

DeviceReader::DeviceReader(HANDLE device, const std::atomic<bool>* stop)
    : device_(device), stop_(stop), worker_([this] { readAhead(); }) {}

DeviceReader::~DeviceReader() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

bool DeviceReader::readInto(Buffer& buffer, ntfs::Piece piece) {
    if (!buffer.fit(piece.length)) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(piece.offset);
    at.OffsetHigh = static_cast<DWORD>(piece.offset >> 32);
    DWORD got = 0;
    // A short read is a failure: Wine answers every read of a drive without a device so.
    return ReadFile(device_, buffer.memory, static_cast<DWORD>(piece.length), &got, &at) &&
           got == piece.length;
}

void DeviceReader::readAhead() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return ending_ || busy_; });
        if (ending_) return;
        Buffer& into = buffers_[1 - current_];
        const ntfs::Piece piece = *ahead_;
        lock.unlock();
        const bool read = readInto(into, piece);
        lock.lock();
        aheadRead_ = read;
        busy_ = false;
        changed_.notify_all();
    }
}

bool DeviceReader::operator()(std::uint64_t offset, std::span<std::byte> into,
                              std::optional<ntfs::Piece> next) {
    if (stop_ && stop_->load(std::memory_order_relaxed)) return false;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (aheadRead_ && ahead_->offset == offset && ahead_->length == into.size()) {
        current_ = 1 - current_;
    } else {
        lock.unlock();
        if (!readInto(buffers_[current_], {offset, into.size()})) return false;
        lock.lock();
    }
    aheadRead_ = false;
    ahead_ = next;
    busy_ = next.has_value();
    changed_.notify_all();
    lock.unlock();
    std::memcpy(into.data(), buffers_[current_].memory, into.size());
    return true;
}

}  // namespace kelmora::platform::win32
