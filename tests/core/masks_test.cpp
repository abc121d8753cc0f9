// SPDX-License-Identifier: MIT
#include "scan/Masks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kelmora {
namespace {

// A name as the file system would hand it over: the bytes themselves on POSIX; on Windows the
// UTF-16 form of the UTF-8 text, where a byte that starts no valid sequence stays one unit.
NativeString native(const std::string& utf8) {
    if constexpr (sizeof(NativeChar) == 1) {
        return NativeString(utf8.begin(), utf8.end());
    } else {
        NativeString out;
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
            bool valid = length > 1 && i + length <= utf8.size();
            for (std::size_t k = 1; valid && k < length; ++k)
                valid = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
            if (!valid) {
                out.push_back(static_cast<NativeChar>(lead));
                ++i;
                continue;
            }
            std::uint32_t code = lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k)
                code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
            if (code >= 0x10000) {
                out.push_back(static_cast<NativeChar>(0xD800 + ((code - 0x10000) >> 10)));
                out.push_back(static_cast<NativeChar>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            } else {
                out.push_back(static_cast<NativeChar>(code));
            }
            i += length;
        }
        return out;
    }
}

bool matches(const std::string& name, const std::string& mask) {
    return matchesMask(native(name), native(mask));
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
    EXPECT_TRUE(
        matches("x.~\xf0\x9f\x98\x80"
                "a",
                "*.~??"));  // beyond the BMP: four UTF-8 bytes, a UTF-16 surrogate pair
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

// An independent, slow matcher over whole characters, to check the fast one against.
bool slowMatch(const std::vector<std::string>& name, std::size_t n, const std::string& mask,
               std::size_t m) {
    if (m == mask.size()) return n == name.size();
    if (mask[m] == '*')
        return slowMatch(name, n, mask, m + 1) ||
               (n < name.size() && slowMatch(name, n + 1, mask, m));
    if (n == name.size()) return false;
    if (mask[m] == '?') return slowMatch(name, n + 1, mask, m + 1);
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return name[n].size() == 1 && fold(name[n][0]) == fold(mask[m]) &&
           slowMatch(name, n + 1, mask, m + 1);
}

TEST(Masks, AgreesWithASlowMatcherOnRandomNames) {
    // Characters: ASCII pieces of the masks, a two-byte letter, a three-byte sign, a stray byte.
    const std::vector<std::string> alphabet = {
        ".", "~", "t", "M", "p", "b", "a", "K", "-", "_", "\xc3\xa9", "\xe2\x82\xac", "\xff"};
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        std::vector<std::string> chars;
        std::string name;
        for (std::size_t k = random() % 9; k > 0; --k) {
            chars.push_back(alphabet[random() % alphabet.size()]);
            name += chars.back();
        }
        for (auto mask : kMaskTable) {
            const std::string m(mask);
            ASSERT_EQ(matches(name, m), slowMatch(chars, 0, m, 0)) << name << " " << m;
        }
    }
}

}  // namespace
}  // namespace kelmora
