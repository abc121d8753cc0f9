// SPDX-License-Identifier: MIT
#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace kelmora {
namespace {

using platform::RegistryValue;
using platform::win32::Win32Registry;

constexpr std::int32_t kCurrentUser = static_cast<std::int32_t>(0x80000001u);

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// Values written by the test below a key of its own, removed afterwards.
class Win32RegistryRead : public ::testing::Test {
  protected:
    void SetUp() override {
        key = "Software\\KelmoraTest-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount64());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (handle) RegCloseKey(handle);
        RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    }
    void put(const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    std::optional<RegistryValue> read(const char* name, std::size_t buffer = 1024) {
        return registry.readValue(kCurrentUser, key, name, buffer);
    }

    std::string key;
    HKEY handle = nullptr;
    Win32Registry registry;
};

TEST_F(Win32RegistryRead, TextComesBackWithTheBytesTheRegistryReports) {
    put("withZero", REG_SZ, std::string("C:\\Tools\\info.exe", 17) + '\0');
    put("withoutZero", REG_SZ, "C:\\Tools");
    const auto with = read("withZero");
    ASSERT_TRUE(with);
    EXPECT_EQ(with->type, 1U);
    EXPECT_EQ(with->bytes, bytesOf(std::string("C:\\Tools\\info.exe", 17) + '\0'));
    auto without = read("withoutZero");
    ASSERT_TRUE(without);
    EXPECT_EQ(without->type, 1U);
    // Windows returns the 8 stored bytes; Wine appends the terminating zero it finds missing.
    const auto stored = bytesOf("C:\\Tools");
    if (without->bytes.size() == stored.size() + 1) {
        EXPECT_EQ(without->bytes.back(), 0);
        without->bytes.pop_back();
    }
    EXPECT_EQ(without->bytes, stored);
}

TEST_F(Win32RegistryRead, ValueMustFitTheBuffer) {
    put("fits", REG_SZ, std::string(1023, 'x') + '\0');     // 1024 bytes with its zero
    put("tooLong", REG_SZ, std::string(1024, 'x') + '\0');  // 1025
    const auto fits = read("fits");
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->bytes.size(), 1024U);
    EXPECT_EQ(fits->bytes.back(), 0);
    EXPECT_FALSE(read("tooLong"));
    EXPECT_FALSE(read("fits", 1023));  // the size handed over is the size used
}

TEST_F(Win32RegistryRead, NumberComesBackAsItsFourLittleEndianBytes) {
    const DWORD number = 0x12345678;
    put("number", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4));
    const auto value = read("number");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, 4U);
    EXPECT_EQ(value->bytes, (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
}

TEST_F(Win32RegistryRead, MissingKeyOrValueGivesNothing) {
    put("there", REG_SZ, std::string("x", 1) + '\0');
    EXPECT_FALSE(read("notThere"));
    EXPECT_FALSE(registry.readValue(kCurrentUser, key + "\\NoSuchKey", "there", 1024));
    EXPECT_TRUE(read("there"));
}

TEST(Win32RegistryRoot, LocalMachineHandleWidensToThePredefinedKey) {
    // Wine runs every process as an administrator, so the test may write below HKLM there; a
    // standard Windows user may not, and the test then has nothing to read back.
    const std::string key = "Software\\KelmoraTest-" + std::to_string(GetCurrentProcessId());
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        GTEST_SKIP() << "no right to write below HKEY_LOCAL_MACHINE";
    const char text[] = "C:\\Program Files\\Tools";
    RegSetValueExA(handle, "MSINFO", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegCloseKey(handle);
    const auto value = Win32Registry{}.readValue(platform::kLocalMachine, key, "MSINFO", 1024);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    ASSERT_TRUE(value);
    EXPECT_EQ(value->bytes, std::vector<std::uint8_t>(text, text + sizeof text));
}

}  // namespace
}  // namespace kelmora
