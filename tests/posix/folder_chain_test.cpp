// SPDX-License-Identifier: MIT
#include "platform/posix/listing/FolderChain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/posix/shared/StatIdentity.h"
#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

FileIdentity identityOf(const std::string& path) {
    const auto id = posix::identityAt(AT_FDCWD, path.c_str());
    EXPECT_TRUE(id) << path;
    return id.value_or(FileIdentity{});
}

// Kernels without openat2 take the second way for every folder; both must hold the same line.
TEST(FolderChain, BothWaysRefuseLinksAnywhereOnThePathAndFoldersNotAsListed) {
    for (const auto steps :
         {FolderChain::Steps::Openat2WhereAvailable, FolderChain::Steps::PathDescriptorsOnly}) {
        SCOPED_TRACE(steps == FolderChain::Steps::PathDescriptorsOnly ? "O_PATH" : "openat2");
        test::TempTree tree;
        tree.file("a/b/x.tmp");
        tree.folder("c");
        MountPolicy mounts({}, {});
        mounts.refresh();
        FolderChain chain(mounts, steps);
        ASSERT_TRUE(chain.openRoot(tree.root() + "/"));

        const auto ab = identityOf(tree.path("a/b"));
        EXPECT_TRUE(chain.open(tree.path("a/b") + "/", ab));  // a is opened on the way
        EXPECT_EQ(chain.current().id, ab);
        EXPECT_FALSE(chain.open(tree.path("a/b") + "/", identityOf(tree.path("c"))));
        EXPECT_EQ(chain.currentFd(), -1);

        const auto c = identityOf(tree.path("c"));
        ASSERT_EQ(std::rename(tree.path("c").c_str(), tree.path("c.old").c_str()), 0);
        tree.symlink("a", "c");
        EXPECT_FALSE(chain.open(tree.path("c") + "/", identityOf(tree.path("a"))));
        EXPECT_FALSE(chain.open(tree.path("c/b") + "/", ab)) << "through a link on the way";
        EXPECT_TRUE(chain.open(tree.path("c.old") + "/", c));
        EXPECT_TRUE(chain.open(tree.path("a/b") + "/", ab));
    }
}

}  // namespace
}  // namespace kelmora::platform::posix
