#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/NativeString.h"

namespace kelmora {

// A bounded last-in-first-out store of texts: the scan's folders still to visit.
//
// The capacity is fixed at 1001 texts and storage never grows, which bounds the memory of a walk
// whatever the shape of the tree. At the bound, Push refuses and changes nothing; the caller
// decides what becomes of the refused text. Emptying or popping does not clear the stored texts;
// later pushes overwrite them. All operations take constant time; Push copies its text.
class Stack {
  public:
    static constexpr std::int16_t kCapacity = 1001;

    // Empties the stack.
    void Init() { Count = 0; }
    bool isEmpty() const { return Count == 0; }
    // The top text without removing it; nothing on an empty stack.
    std::optional<NativeString> Top() const;
    // Stores a copy of `dat` on top. Returns false, leaving the stack unchanged, when it is full.
    [[nodiscard]] bool Push(NativeStringView dat);
    // Removes the top text, if any; on an empty stack it does nothing.
    void Pop();
    // The number of texts on the stack, 0 to 1001.
    std::int16_t getLevel() const { return Count; }

  private:
    std::array<NativeString, kCapacity> Items;
    std::int16_t Count = 0;
};

}  // namespace kelmora
