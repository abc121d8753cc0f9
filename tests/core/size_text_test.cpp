#include "window/SizeText.h"

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

}  // namespace
}  // namespace kelmora
