#include "scan/Masks.h"

#include <gtest/gtest.h>

#include <string>

namespace kelmora {
namespace {

bool matches(const std::string& name, const std::string& mask) {
    return matchesMask(NativeString(name.begin(), name.end()), fromAscii(mask));
}

bool matchesAny(const std::string& name) {
    for (auto mask : kMaskTable)
        if (matches(name, std::string(mask))) return true;
    return false;
}

TEST(Masks, TableHoldsTheTenMasksInScanOrder) {
    EXPECT_EQ(kMaskTable.front(), "*.---");
    EXPECT_EQ(kMaskTable[2], "*.~??");
    EXPECT_EQ(kMaskTable.back(), "*.tmp");
}

TEST(Masks, EachMaskMatchesItsExtensionInAnyCase) {
    for (const char* name : {"a.---", "a.___", "x.~ab", "a.bak", "FILE_ID.DIZ", "help.GID",
                             "FILE0000.CHK", "conf.Old", "a.syd", "x.tmp", ".tmp", "a.b.tmp"})
        EXPECT_TRUE(matchesAny(name)) << name;
}

TEST(Masks, NearMissesDoNotMatch) {
    for (const char* name :
         {"x.txt", "x.tmpl", "xtmp", "x.tm", "x.~a", "x.~abc", "tmp", "x.bak~", "x.ba k"})
        EXPECT_FALSE(matchesAny(name)) << name;
}

TEST(Masks, QuestionMarkTakesOneWholeCharacter) {
    EXPECT_TRUE(matches("x.~\xc3\xa9\xc3\xa1", "*.~??"));  // two accented letters, UTF-8
    EXPECT_FALSE(matches("x.~\xc3\xa9", "*.~??"));         // one letter of two bytes
    EXPECT_TRUE(matches("x.~\xff\xfe", "*.~??"));          // not UTF-8: a byte is a character
    EXPECT_TRUE(
        matches("x.~\xe2\x82\xac"
                "a",
                "*.~??"));  // the euro sign, three bytes
}

TEST(Masks, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(matches("ABC.TMP", "*.tmp"));
    EXPECT_FALSE(matches("x.\xc3\x89", "*.\xc3\xa9"));  // É is not é
    EXPECT_TRUE(matches("x.\xc3\xa9", "*.\xc3\xa9"));
}

TEST(Masks, GeneralWildcardsBacktrack) {
    EXPECT_TRUE(matches("a.tmp.tmp", "*.tmp"));
    EXPECT_TRUE(matches("abcabd", "*abd"));
    EXPECT_TRUE(matches("abc", "a*c"));
    EXPECT_TRUE(matches("ac", "a*c"));
    EXPECT_FALSE(matches("ab", "a*c"));
    EXPECT_TRUE(matches("", "*"));
    EXPECT_FALSE(matches("", "?"));
    EXPECT_TRUE(matches("abc", "**?"));
}

}  // namespace
}  // namespace kelmora
