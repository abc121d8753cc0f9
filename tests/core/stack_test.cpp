// SPDX-License-Identifier: MIT
#include "scan/Stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace kelmora {
namespace {

NativeString text(const std::string& s) { return fromAscii(s); }

// `s` with "/" as the platform's separator.
NativeString path(std::string s) {
    for (auto& c : s)
        if (c == '/') c = static_cast<char>(kSeparator);
    return fromAscii(s);
}

TEST(Stack, NewStackIsEmptyAndPopIsHarmless) {
    Stack stack;
    EXPECT_TRUE(stack.isEmpty());
    EXPECT_EQ(stack.getLevel(), 0);
    EXPECT_FALSE(stack.Top().has_value());
    stack.Pop();
    EXPECT_EQ(stack.getLevel(), 0);
    EXPECT_TRUE(stack.isEmpty());
}

TEST(Stack, TopDoesNotRemoveAndPopRevealsTheTextBelow) {
    Stack stack;
    ASSERT_TRUE(stack.Push(text("A")));
    ASSERT_TRUE(stack.Push(text("B")));
    EXPECT_EQ(stack.Top(), text("B"));
    EXPECT_EQ(stack.Top(), text("B"));
    stack.Pop();
    EXPECT_EQ(stack.Top(), text("A"));
    stack.Pop();
    EXPECT_TRUE(stack.isEmpty());
}

TEST(Stack, HoldsExactly1001TextsAndRefusesTheNextUnchanged) {
    auto stack = std::make_unique<Stack>();
    for (int i = 1; i <= 1001; ++i) ASSERT_TRUE(stack->Push(text(std::to_string(i)))) << i;
    EXPECT_EQ(stack->getLevel(), 1001);
    EXPECT_FALSE(stack->Push(text("1002")));
    EXPECT_EQ(stack->getLevel(), 1001);
    EXPECT_EQ(stack->Top(), text("1001"));

    stack->Init();
    EXPECT_TRUE(stack->isEmpty());
    ASSERT_TRUE(stack->Push(text("X")));
    EXPECT_EQ(stack->Top(), text("X"));
    EXPECT_EQ(stack->getLevel(), 1);
}

TEST(Stack, KeepsItsOwnCopyAndCountsAnEmptyText) {
    Stack stack;
    NativeString caller = text("folder");
    ASSERT_TRUE(stack.Push(caller));
    caller = text("changed");
    EXPECT_EQ(stack.Top(), text("folder"));

    Stack empty;
    ASSERT_TRUE(empty.Push(NativeString{}));
    EXPECT_FALSE(empty.isEmpty());
    EXPECT_EQ(empty.getLevel(), 1);
    EXPECT_EQ(empty.Top(), NativeString{});
}

TEST(Stack, GivesBackEveryPathExactlyWhileOthersShareItsFolders) {
    // Folders shared and not, separators doubled or at either end, texts without any.
    const std::vector<std::string> texts = {"/r",      "/r/a",   "/r/b", "/r/b/x", "/r/b/x/",
                                            "/r//b/x", "/",      "",     "C:",     "C:/d",
                                            "/r/a/z",  "/r/b/y", "plain"};
    Stack stack;
    for (const auto& t : texts) ASSERT_TRUE(stack.Push(path(t))) << t;
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        EXPECT_EQ(stack.Top(), path(*it));
        stack.Pop();
        if (*it == "/r/b/x") {  // a folder below one just taken, pushed anew
            ASSERT_TRUE(stack.Push(path("/r/b/x/deeper")));
            EXPECT_EQ(stack.Top(), path("/r/b/x/deeper"));
            stack.Pop();
        }
    }
    EXPECT_TRUE(stack.isEmpty());
}

// A walk takes the top, pops it and pushes its children by name, and now and then pushes a whole
// text (as folders waiting for room come back): the kept text must be the top's every time, and
// what it reports as unchanged must really be unchanged.
TEST(Stack, KeptTopPathIsTheTopsWhateverWasPushedBefore) {
    Stack stack;
    ASSERT_TRUE(stack.Push(path("/r")));
    NativeString last;
    std::size_t taken = 0;
    for (unsigned step = 0; !stack.isEmpty() && step < 400; ++step) {
        std::size_t same = 0;
        const NativeString kept = stack.TopPath(same);
        ASSERT_EQ(kept, *stack.Top() + kSeparator) << step;
        ASSERT_LE(same, std::min(kept.size(), last.size()));
        ASSERT_EQ(kept.substr(0, same), last.substr(0, same)) << step;
        last = kept;
        stack.Pop();
        ++taken;
        for (unsigned child = 0; child < (step * 7 + 3) % 4 && stack.getLevel() < 60; ++child)
            ASSERT_TRUE(stack.PushChild(text(std::string(1 + child, char('a' + step % 26)))));
        if (step % 37 == 5) {
            ASSERT_TRUE(stack.Push(path("/r/back/" + std::to_string(step))));
        }
    }
    EXPECT_GT(taken, 100u);
}

}  // namespace
}  // namespace kelmora
