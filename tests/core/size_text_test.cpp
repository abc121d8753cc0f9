// SPDX-License-Identifier: MIT
#include "window/SizeText.h"

#include "window/PathLine.h"

#include <gtest/gtest.h>

namespace kelmora {
namespace {

TEST(SizeText, WholeKilobytesRoundedDown) {
    EXPECT_EQ(sizeText(0), "0 KB");
    EXPECT_EQ(sizeText(1023), "0 KB");
    EXPECT_EQ(sizeText(1024), "1 KB");
    EXPECT_EQ(sizeText(1536), "1 KB");
    EXPECT_EQ(sizeText(2047), "1 KB");
    EXPECT_EQ(sizeText(1048576), "1024 KB");
    EXPECT_EQ(sizeText(2147483647), "2097151 KB");
}

TEST(SizeText, TotalsPastTwoGibibytesAreExact) {
    EXPECT_EQ(sizeText(2147483648LL), "2097152 KB");
    EXPECT_EQ(sizeText(5LL * 1024 * 1024 * 1024 * 1024), "5368709120 KB");
    // 2^63 - 1: a double would round this up to the next kilobyte.
    EXPECT_EQ(sizeText(9223372036854775807LL), "9007199254740991 KB");
}

TEST(SizeText, NegativeCountsRoundTowardMinusInfinity) {
    EXPECT_EQ(sizeText(-1), "-1 KB");
    EXPECT_EQ(sizeText(-1024), "-1 KB");
    EXPECT_EQ(sizeText(-1025), "-2 KB");
}

// The path line keeps a long path's ends, cut between whole characters: "é" is two bytes in UTF-8,
// "𝄞" two units in UTF-16.
TEST(PathLine, KeepsTheEndsOfALongPathWithoutSplittingACharacter) {
    const NativeString wide = sizeof(NativeChar) == 1
                                  ? NativeString{NativeChar(0xC3), NativeChar(0xA9)}
                                  : NativeString{NativeChar(0xD834), NativeChar(0xDD1E)};
    EXPECT_EQ(endsOfPath(fromAscii("/abcdefghi"), 5), fromAscii("/abcdefghi"));
    const NativeString cut = endsOfPath(fromAscii("/abcdefghijk"), 3);
    const NativeString ellipsis = cut.substr(3, cut.size() - 6);
    EXPECT_EQ(cut, fromAscii("/ab") + ellipsis + fromAscii("ijk"));
    EXPECT_LE(ellipsis.size(), 3u);
    // Both cuts fall inside a two-unit character, which goes whole.
    const NativeString path =
        fromAscii("/a") + wide + fromAscii("bcdefgh") + wide + fromAscii("zz");
    EXPECT_EQ(endsOfPath(path, 3), fromAscii("/a") + ellipsis + fromAscii("zz"));
}

}  // namespace
}  // namespace kelmora
