// SPDX-License-Identifier: MIT
#include "scan/FolderSpill.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelmora {
namespace {

NativeString p(std::string text) {
    for (auto& c : text)
        if (c == '/') c = static_cast<char>(kSeparator);
    return fromAscii(text);
}

TEST(FolderSpill, GivesBackPathsAndIdentitiesFirstInFirstOutAcrossParents) {
    FolderSpill spill;
    std::uint64_t inode = 0;
    const auto add = [&](const char* parent, const char* name) {
        spill.add(p(parent), fromAscii(name), {7, ++inode, {}});
    };
    add("/a/b/", "x");
    add("/a/b/", "y");
    add("/a/c/", "z");  // shares /a with the folder before
    add("/", "top");
    add("/a/b/", "w");  // back to an earlier folder
    const std::vector<std::pair<std::string, std::uint64_t>> expected = {
        {"/a/b/x", 1}, {"/a/b/y", 2}, {"/a/c/z", 3}, {"/top", 4}, {"/a/b/w", 5}};
    EXPECT_EQ(spill.size(), expected.size());
    NativeString path;
    for (const auto& [text, id] : expected) {
        ASSERT_FALSE(spill.empty());
        EXPECT_EQ(spill.front(path), (platform::FileIdentity{7, id, {}}));
        EXPECT_EQ(path, p(text));
        spill.pop();
        if (text == "/a/c/z") add("/a/c/", "later");  // added while others leave
    }
    EXPECT_EQ(spill.front(path).inode, 6U);
    EXPECT_EQ(path, p("/a/c/later"));
    spill.pop();
    EXPECT_TRUE(spill.empty());
}

}  // namespace
}  // namespace kelmora
