// SPDX-License-Identifier: MIT
#include "about/KeyValue.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/fake/FakeRegistry.h"

namespace kelmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string decoded(std::uint32_t type, const Bytes& bytes, std::string keyVal = {}) {
    decodeKeyValue(type, bytes, keyVal);
    return keyVal;
}

TEST(DecodeKeyValue, TextDropsOnlyATerminatingZero) {
    EXPECT_EQ(decoded(kRegText, {'a', 'b', 'c', 0}), "abc");
    EXPECT_EQ(decoded(kRegText, {'a', 'b', 'c'}), "abc");
    EXPECT_EQ(decoded(kRegText, {'a', 'b', 'c', 0, 0}), std::string("abc\0", 4));
    EXPECT_EQ(decoded(kRegText, {0}), "");
    EXPECT_EQ(decoded(kRegText, {'x'}, "old"), "x");
}

TEST(DecodeKeyValue, NumberIsHexMostSignificantByteFirst) {
    EXPECT_EQ(decoded(kRegNumber, {0x78, 0x56, 0x34, 0x12}), "&h12345678");
    EXPECT_EQ(decoded(kRegNumber, {0xEF, 0xCD, 0xAB, 0x9A}), "&h9AABCDEF");
    // A byte below 16 gives one digit, a zero byte the digit 0.
    EXPECT_EQ(decoded(kRegNumber, {0x01, 0x00, 0x0F, 0x20}), "&h20F01");
    // A most significant byte of 0 is trimmed like a terminating zero.
    EXPECT_EQ(decoded(kRegNumber, {0x10, 0x20, 0x30, 0x00}), "&h302010");
}

TEST(DecodeKeyValue, NumberAppendsToWhatTheTextHeld) {
    EXPECT_EQ(decoded(kRegNumber, {0xAB}, "C:\\"), "&hC:\\AB");
}

TEST(DecodeKeyValue, OtherTypesLeaveTheTextAsItWas) {
    EXPECT_EQ(decoded(3, {'a', 'b'}, "kept"), "kept");
    EXPECT_EQ(decoded(7, {'a', 0, 0}), "");
}

TEST(DecodeKeyValue, SizeZeroIsAnError) {
    std::string keyVal = "before";
    EXPECT_THROW(decodeKeyValue(kRegText, {}, keyVal), std::invalid_argument);
    EXPECT_THROW(decodeKeyValue(5, {}, keyVal), std::invalid_argument);
}

class GetKeyValueTest : public ::testing::Test {
  protected:
    platform::FakeRegistry registry;
    std::string keyVal = "stale";
    bool read(const std::string& key = "K", const std::string& name = "V") {
        return GetKeyValue(&registry, platform::kLocalMachine, key, name, keyVal);
    }
};

TEST_F(GetKeyValueTest, FoundTextWithAndWithoutItsZero) {
    registry.setText("K", "V", "C:\\Tools\\info.exe");
    EXPECT_TRUE(read());
    EXPECT_EQ(keyVal, "C:\\Tools\\info.exe");
    registry.setText("K", "V", "C:\\Tools\\info.exe", false);
    EXPECT_TRUE(read());
    EXPECT_EQ(keyVal, "C:\\Tools\\info.exe");
}

TEST_F(GetKeyValueTest, MissingKeyOrValueEmptiesTheText) {
    registry.setText("K", "V", "x");
    EXPECT_FALSE(read("K", "Other"));
    EXPECT_EQ(keyVal, "");
    keyVal = "stale";
    EXPECT_FALSE(read("Missing", "V"));
    EXPECT_EQ(keyVal, "");
    keyVal = "stale";
    EXPECT_FALSE(GetKeyValue(nullptr, platform::kLocalMachine, "K", "V", keyVal));
    EXPECT_EQ(keyVal, "");
}

TEST_F(GetKeyValueTest, TextFillingTheWholeBufferIsReadOneByteMoreIsNot) {
    const std::string text(kValueBufferSize - 1, 'p');
    registry.setText("K", "V", text);  // 1024 bytes with its zero
    EXPECT_TRUE(read());
    EXPECT_EQ(keyVal, text);
    registry.setText("K", "V", text + "p");  // 1025
    EXPECT_FALSE(read());
    EXPECT_EQ(keyVal, "");
}

TEST_F(GetKeyValueTest, AsksForTheValueWithTheFixedBuffer) {
    struct SizeCheck : platform::Registry {
        std::size_t asked = 0;
        std::optional<platform::RegistryValue> readValue(std::int32_t, const std::string&,
                                                         const std::string&,
                                                         std::size_t size) override {
            asked = size;
            return platform::RegistryValue{kRegText, Bytes(size + 1, 'x')};
        }
    } oversized;
    // A reader that hands back more than it was given room for still counts as not found.
    EXPECT_FALSE(GetKeyValue(&oversized, platform::kLocalMachine, "K", "V", keyVal));
    EXPECT_EQ(oversized.asked, std::size_t{1024});
    EXPECT_EQ(keyVal, "");
}

TEST_F(GetKeyValueTest, SizeZeroValueThrows) {
    registry.set("K", "V", {kRegText, {}});
    EXPECT_THROW(read(), std::invalid_argument);
}

}  // namespace
}  // namespace kelmora
