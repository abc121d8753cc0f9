// SPDX-License-Identifier: MIT
#include "platform/fake/FakeRegistry.h"

namespace kelmora::platform {

void FakeRegistry::set(const std::string& keyPath, const std::string& valueName,
                       RegistryValue value, std::int32_t root) {
    values_[{root, keyPath, valueName}] = std::move(value);
}

void FakeRegistry::setText(const std::string& keyPath, const std::string& valueName,
                           const std::string& text, bool withZero) {
    RegistryValue value{1, {text.begin(), text.end()}};
    if (withZero) value.bytes.push_back(0);
    set(keyPath, valueName, std::move(value));
}

void FakeRegistry::remove(const std::string& keyPath, const std::string& valueName,
                          std::int32_t root) {
    values_.erase({root, keyPath, valueName});
}

std::optional<RegistryValue> FakeRegistry::readValue(std::int32_t root, const std::string& keyPath,
                                                     const std::string& valueName,
                                                     std::size_t bufferSize) {
    reads_.emplace_back(keyPath, valueName);
    const auto it = values_.find({root, keyPath, valueName});
    if (it == values_.end() || it->second.bytes.size() > bufferSize) return std::nullopt;
    return it->second;
}

}  // namespace kelmora::platform
