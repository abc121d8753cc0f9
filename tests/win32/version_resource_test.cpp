// SPDX-License-Identifier: MIT
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The version information and icon this test binary carries: the same resource as the program's.
class VersionResource : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t path[MAX_PATH];
        ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
        ASSERT_GT(size, 0u) << "no version resource in the binary";
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
    }

    std::wstring text(const wchar_t* name) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(data.data(), key.c_str(), &value, &length) || length == 0) return {};
        return std::wstring(static_cast<const wchar_t*>(value), length - 1);
    }

    std::vector<unsigned char> data;
};

TEST_F(VersionResource, FixedVersionIsTheProjectVersion) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 0);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 71);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 0);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), 25);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
}

TEST_F(VersionResource, TextsNameTheProgram) {
    EXPECT_EQ(text(L"FileVersion"), L"0.71.0025");
    EXPECT_EQ(text(L"ProductVersion"), L"0.71.0025");
    EXPECT_EQ(text(L"FileDescription"), L"Disc cleaning software");
    EXPECT_EQ(text(L"ProductName"), L"Kelmora");
    EXPECT_EQ(text(L"InternalName"), L"Kelmora");
    EXPECT_EQ(text(L"OriginalFilename"), L"Kelmora.exe");
}

TEST(ProgramIcon, IsEmbeddedAndLoadsAt32Pixels) {
    const HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr) << "no icon group resource";
    HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    ASSERT_TRUE(GetObjectW(info.hbmColor, sizeof colour, &colour));
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

}  // namespace
