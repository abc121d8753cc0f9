// SPDX-License-Identifier: MIT
// A stand-in for the system information tool in the start tests. Started with no arguments, it
// waits up to ten seconds for a file named like itself plus ".go", then writes beside itself
// "<name>.ran": its command line, the show state it was given, and whether the go file came.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[32768];
    const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
    const std::wstring me(self, length);
    bool go = false;
    for (int i = 0; i < 100 && !go; ++i) {
        go = GetFileAttributesW((me + L".go").c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!go) Sleep(100);
    }
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const std::wstring report =
        std::wstring(GetCommandLineW()) + L"\n" +
        std::to_wstring((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1) +
        L"\n" + (go ? L"go" : L"timeout") + L"\n";
    const std::wstring partial = me + L".part";
    const HANDLE out =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(out, report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(out);
    MoveFileW(partial.c_str(), (me + L".ran").c_str());  // appears whole or not at all
    return 0;
}
