// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/NativeString.h"

namespace kelmora::test {

// A temporary folder tree that a test builds in code and that is removed with it. Relative names
// use "/" and are native otherwise (bytes on POSIX), so hostile names can be made.
class TempTree {
  public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root in the scan's no-trailing-separator form.
    NativeString root() const { return root_.native(); }
    // The native full path of `rel`.
    NativeString path(const std::string& rel) const { return (root_ / rel).native(); }

    void folder(const std::string& rel) const;
    // A regular file of `size` bytes (sparse, so large sizes cost no disk).
    void file(const std::string& rel, std::uintmax_t size = 0) const;
    void symlink(const std::string& target, const std::string& rel) const;
    bool exists(const std::string& rel) const;

  private:
    std::filesystem::path root_;
};

}  // namespace kelmora::test
