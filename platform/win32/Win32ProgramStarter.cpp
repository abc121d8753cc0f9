// SPDX-License-Identifier: MIT
#include "platform/win32/Win32ProgramStarter.h"

#include <windows.h>

#include <climits>

#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {

NativeString Win32ProgramStarter::pathFromAnsi(const std::string& ansi) {
    if (ansi.empty() || ansi.size() > INT_MAX) return {};
    const int length = static_cast<int>(ansi.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (wide <= 0) return {};
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, out.data(), wide);
    return out;
}

bool Win32ProgramStarter::isOrdinaryFile(const NativeString& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(extendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool Win32ProgramStarter::start(const NativeString& path) {
    if (path.empty() || path.find(L'"') != std::wstring::npos) return false;
    // The command line holds the program's own quoted path and nothing else: no arguments.
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE |
                            CREATE_UNICODE_ENVIRONMENT,
                        nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace kelmora::platform::win32
