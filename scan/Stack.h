// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/NativeString.h"
#include "scan/NameTree.h"

namespace kelmora {

// A bounded last-in-first-out store of texts: the scan's folders still to visit.
//
// The capacity is fixed at 1001 texts. At the bound, Push refuses and changes nothing; the caller
// decides what becomes of the refused text. Push takes time in the length of its text, Top builds
// the text it returns, the rest take constant time.
//
// Memory is bounded by names and depth, never by path lengths: each text is held as the last part
// of a path in a NameTree, as its own name with a reference to its parent, and every folder on the
// way is held once, by its own name, however many texts lie below it. The texts the scan pushes
// are children of the folder it took last, so all lie below the folders on one path from the root:
// for a tree D folders deep whose names have at most L bytes, at most 1001 + D names, that is
// about (1001 + D) * (L + 40) bytes, plus one path of the folder last pushed to (at most D * (L +
// 1) bytes). A tree 6,000 deep with names of 255 bytes: about 2 MB, plus the 1.5 MB path.
// Popping gives a text's memory back; Init gives all of it back.
class Stack {
  public:
    static constexpr std::int16_t kCapacity = 1001;

    // Empties the stack.
    void Init();
    bool isEmpty() const { return Count == 0; }
    // The top text without removing it; nothing on an empty stack.
    std::optional<NativeString> Top() const;
    // The top text followed by the separator, kept between calls, on a stack that is not empty.
    // Unlike Top it costs only the parts that differ from the text it gave last, so that a walk
    // down a chain of folders pays for each name once; `sameAsLast` tells how many leading
    // characters are the same text as then (0 the first time after Init). Valid until the next
    // Push, Init or TopPath.
    const NativeString& TopPath(std::size_t& sameAsLast);
    // Stores a copy of `dat` on top. Returns false, leaving the stack unchanged, when it is full.
    [[nodiscard]] bool Push(NativeStringView dat);
    // Stores the text last given by TopPath followed by `name`, in time for the name alone; as
    // Push otherwise. Only Pop and PushChild may come between that TopPath and this call.
    [[nodiscard]] bool PushChild(NativeStringView name);
    // Removes the top text, if any; on an empty stack it does nothing.
    void Pop();
    // The number of texts on the stack, 0 to 1001.
    std::int16_t getLevel() const { return Count; }

  private:
    std::array<NameTree::Node, kCapacity> Items{};
    std::int16_t Count = 0;
    NameTree Names;
};

}  // namespace kelmora
