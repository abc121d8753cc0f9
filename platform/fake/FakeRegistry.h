// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/SystemInfo.h"

namespace kelmora::platform {

// An in-memory registry for tests: values stored per root, key path and value name, read the way
// the real one reads them (nothing for a missing value or one larger than the buffer).
class FakeRegistry : public Registry {
  public:
    void set(const std::string& keyPath, const std::string& valueName, RegistryValue value,
             std::int32_t root = kLocalMachine);
    // A text value: its bytes, with a terminating zero unless `withZero` is false.
    void setText(const std::string& keyPath, const std::string& valueName, const std::string& text,
                 bool withZero = true);
    void remove(const std::string& keyPath, const std::string& valueName,
                std::int32_t root = kLocalMachine);

    // Every read asked for, in order, as key path and value name.
    const std::vector<std::pair<std::string, std::string>>& reads() const { return reads_; }

    std::optional<RegistryValue> readValue(std::int32_t root, const std::string& keyPath,
                                           const std::string& valueName,
                                           std::size_t bufferSize) override;

  private:
    using Where = std::tuple<std::int32_t, std::string, std::string>;
    std::map<Where, RegistryValue> values_;
    std::vector<std::pair<std::string, std::string>> reads_;
};

}  // namespace kelmora::platform
