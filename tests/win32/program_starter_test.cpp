// SPDX-License-Identifier: MIT
#include "platform/win32/Win32ProgramStarter.h"

#include <gtest/gtest.h>

#include "tests/win32/WinTree.h"

namespace kelmora {
namespace {

using platform::win32::Win32ProgramStarter;

// The start probe is built beside this test binary (tests/win32/probe).
std::wstring probePath() {
    wchar_t self[32768];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, 32768));
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"kelmora_start_probe.exe";
}

std::wstring readWide(const std::wstring& path) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::wstring text(4096, L'\0');
    DWORD got = 0;
    ReadFile(h, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &got, nullptr);
    CloseHandle(h);
    text.resize(got / sizeof(wchar_t));
    return text;
}

TEST(Win32Start, StartsExactlyTheProgramDetachedAndDoesNotWait) {
    test::WinTree tree;
    ASSERT_TRUE(tree.folder(L"tools & p\u0159\u00edli\u0161"));  // a shell would split at "&"
    const std::wstring program = tree.path(L"tools & p\u0159\u00edli\u0161\\Info Tool.exe");
    ASSERT_TRUE(CopyFileW(probePath().c_str(), program.c_str(), TRUE)) << GetLastError();

    Win32ProgramStarter starter;
    ASSERT_TRUE(starter.start(program));
    // The probe waits for this file: had start() waited for the probe, it would see none.
    ASSERT_TRUE(CloseHandle(CreateFileW((program + L".go").c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, 0, nullptr)));
    std::wstring report;
    for (int i = 0; i < 300 && report.empty(); ++i) {
        report = readWide(program + L".ran");
        if (report.empty()) Sleep(100);
    }
    ASSERT_FALSE(report.empty()) << "the started program never ran";
    EXPECT_EQ(report, L"\"" + program + L"\"\n" + std::to_wstring(SW_SHOWNORMAL) + L"\ngo\n");
}

TEST(Win32Start, StartsAHarmlessSystemProgram) {
    wchar_t system[MAX_PATH];
    const std::wstring hostname =
        std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\hostname.exe";
    if (GetFileAttributesW(hostname.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no hostname.exe on this system";
    EXPECT_TRUE(Win32ProgramStarter{}.start(hostname));  // exits by itself
}

TEST(Win32Start, RefusesWhatIsNoProgram) {
    test::WinTree tree;
    ASSERT_TRUE(tree.folder(L"dir"));
    ASSERT_TRUE(tree.file(L"text.exe", 0, "not a program"));
    Win32ProgramStarter starter;
    EXPECT_FALSE(starter.start(tree.path(L"missing.exe")));
    EXPECT_FALSE(starter.start(tree.path(L"dir")));
    EXPECT_FALSE(starter.start(tree.path(L"text.exe")));
    EXPECT_FALSE(starter.start(L""));
    EXPECT_FALSE(starter.start(tree.path(L"a\" b.exe")));
}

TEST(Win32OrdinaryFile, IsAVisibleNonSystemFile) {
    test::WinTree tree;
    ASSERT_TRUE(tree.file(L"MSINFO32.EXE"));
    ASSERT_TRUE(tree.file(L"hidden.exe"));
    ASSERT_TRUE(tree.file(L"system.exe"));
    ASSERT_TRUE(tree.folder(L"folder.exe"));
    Win32ProgramStarter starter;
    EXPECT_TRUE(starter.isOrdinaryFile(tree.path(L"MSINFO32.EXE")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path(L"folder.exe")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path(L"missing.exe")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path(L"*.EXE")));  // no pattern matches MSINFO32.EXE
    if (!tree.setAttributes(L"hidden.exe", FILE_ATTRIBUTE_HIDDEN) ||
        !tree.setAttributes(L"system.exe", FILE_ATTRIBUTE_SYSTEM))
        GTEST_SKIP() << "the drive does not keep file attributes (user.DOSATTRIB under Wine)";
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path(L"hidden.exe")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path(L"system.exe")));
}

TEST(Win32PathFromAnsi, WidensWithTheAnsiCodePage) {
    Win32ProgramStarter starter;
    EXPECT_EQ(starter.pathFromAnsi("C:\\Program Files\\MSINFO"), L"C:\\Program Files\\MSINFO");
    EXPECT_EQ(starter.pathFromAnsi(""), L"");
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    EXPECT_EQ(starter.pathFromAnsi("C:\\Caf\xe9\\\x80.exe"), L"C:\\Caf\u00e9\\\u20ac.exe");
}

}  // namespace
}  // namespace kelmora
