#include "platform/win32/TableRead.h"

namespace kelmora::platform::win32 {

TableRead::TableRead(std::wstring root)
    : thread_([this, root = std::move(root)] {
          try {
              table_ = VolumeTable::read(root, &stop_);
          } catch (...) {
              // Not enough memory for the table, or anything else it met: the walk goes on.
              table_.reset();
          }
          ended_.store(true, std::memory_order_release);
      }) {}

TableRead::~TableRead() {
    stop_.store(true, std::memory_order_relaxed);
    thread_.join();
}

std::optional<VolumeTable> TableRead::take() {
    if (!ended()) return std::nullopt;
    return std::move(table_);
}

}  // namespace kelmora::platform::win32
