// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kelmora::test {

// What Wine tells a Windows program about the Unix system it runs on, through the functions
// kernel32 adds under Wine; nothing on Windows, where they do not exist.

// The Unix path of the Windows path `path`.
inline std::optional<std::string> unixPathOf(const std::wstring& path) {
    using Fn = char*(CDECL*)(const wchar_t*);
    const auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return std::nullopt;
    char* unix = fn(path.c_str());
    if (!unix) return std::nullopt;
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// The Windows path of the Unix path `path`.
inline std::optional<std::wstring> windowsPathOf(const std::string& path) {
    using Fn = wchar_t*(CDECL*)(const char*);
    const auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (!fn) return std::nullopt;
    wchar_t* windows = fn(path.c_str());
    if (!windows) return std::nullopt;
    std::wstring out = windows;
    HeapFree(GetProcessHeap(), 0, windows);
    return out;
}

// UTF-8 and UTF-16 forms of a text: Wine passes Unix paths and environment variables as UTF-8
// in a UTF-8 locale, which scripts/test-windows.sh sets.
inline std::string utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}
inline std::wstring utf16(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// A variable of the environment, as Wine passes the Unix one on; nothing when unset.
inline std::optional<std::wstring> environmentVariable(const wchar_t* name) {
    const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0) return std::nullopt;
    std::wstring value(length, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), length));
    return value;
}

}  // namespace kelmora::test
