#include "scan/Stack.h"

namespace kelmora {

std::optional<NativeString> Stack::Top() const {
    if (isEmpty()) return std::nullopt;
    return Items[static_cast<std::size_t>(Count - 1)];
}

bool Stack::Push(NativeStringView dat) {
    if (Count < 0 || Count >= kCapacity) return false;
    Items[static_cast<std::size_t>(Count)].assign(dat);
    ++Count;
    return true;
}

void Stack::Pop() {
    if (isEmpty())
        Count = 0;
    else
        --Count;
}

}  // namespace kelmora
