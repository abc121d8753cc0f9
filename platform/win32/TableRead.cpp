// SPDX-License-Identifier: MIT
#include "platform/win32/TableRead.h"

namespace kelmora::platform::win32 {

namespace {

HANDLE newEvent() {
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event ? event : INVALID_HANDLE_VALUE;
}

}  // namespace

TableRead::TableRead(std::wstring root)
    : endedEvent_(newEvent()), thread_([this, root = std::move(root)] {
          try {
              table_ = VolumeTable::read(root, &stop_);
          } catch (...) {
              // Not enough memory for the table, or anything else it met: the walk goes on.
              table_.reset();
          }
          ended_.store(true, std::memory_order_release);
          if (endedEvent_.handle != INVALID_HANDLE_VALUE) SetEvent(endedEvent_.handle);
      }) {}

TableRead::~TableRead() {
    stop_.store(true, std::memory_order_relaxed);
    thread_.join();
}

bool TableRead::awaitEnd(std::chrono::milliseconds limit) const {
    if (ended() || endedEvent_.handle == INVALID_HANDLE_VALUE) return ended();
    // Messages already waiting count too (MWMO_INPUTAVAILABLE): they are the window's to handle.
    MsgWaitForMultipleObjectsEx(1, &endedEvent_.handle, static_cast<DWORD>(limit.count()),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return ended();
}

std::optional<VolumeTable> TableRead::take() {
    if (!ended()) return std::nullopt;
    return std::move(table_);
}

}  // namespace kelmora::platform::win32
