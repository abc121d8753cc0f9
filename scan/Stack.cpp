// SPDX-License-Identifier: MIT
#include "scan/Stack.h"

namespace kelmora {

void Stack::Init() {
    Count = 0;
    Names.clear();
}

std::optional<NativeString> Stack::Top() const {
    if (isEmpty()) return std::nullopt;
    NativeString text;
    Names.pathOf(Items[static_cast<std::size_t>(Count - 1)], text);
    return text;
}

const NativeString& Stack::TopPath(std::size_t& sameAsLast) {
    return Names.follow(Items[static_cast<std::size_t>(Count - 1)], sameAsLast);
}

bool Stack::Push(NativeStringView dat) {
    if (Count < 0 || Count >= kCapacity) return false;
    Items[static_cast<std::size_t>(Count)] = Names.add(dat);
    ++Count;
    return true;
}

bool Stack::PushChild(NativeStringView name) {
    if (Count < 0 || Count >= kCapacity) return false;
    Items[static_cast<std::size_t>(Count)] = Names.addChild(name);
    ++Count;
    return true;
}

void Stack::Pop() {
    if (isEmpty()) {
        Count = 0;
        return;
    }
    --Count;
    Names.release(Items[static_cast<std::size_t>(Count)]);
}

}  // namespace kelmora
