// SPDX-License-Identifier: MIT
#include "tests/support/TempTree.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace kelmora::test {
namespace fs = std::filesystem;

TempTree::TempTree() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = fs::temp_directory_path() / ("kelmora-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            // Canonical, so paths compare equal to what the system reports (no link in the way).
            root_ = fs::canonical(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempTree::~TempTree() {
    std::error_code ignored;
    // Give back write rights a test may have taken, so that everything can be removed.
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
}

void TempTree::folder(const std::string& rel) const { fs::create_directories(root_ / rel); }

void TempTree::file(const std::string& rel, std::uintmax_t size) const {
    const auto p = root_ / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).flush();
    fs::resize_file(p, size);
}

void TempTree::symlink(const std::string& target, const std::string& rel) const {
    const auto p = root_ / rel;
    fs::create_directories(p.parent_path());
    fs::create_symlink(target, p);
}

bool TempTree::exists(const std::string& rel) const {
    std::error_code ignored;
    return fs::symlink_status(root_ / rel, ignored).type() != fs::file_type::not_found;
}

}  // namespace kelmora::test
