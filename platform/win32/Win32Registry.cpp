// SPDX-License-Identifier: MIT
#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <mutex>

namespace kelmora::platform::win32 {
namespace {

using RegOpenKeyExAFn = LSTATUS(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using RegQueryValueExAFn = LSTATUS(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using RegCloseKeyFn = LSTATUS(WINAPI*)(HKEY);

struct RegistryFunctions {
    RegOpenKeyExAFn open = nullptr;
    RegQueryValueExAFn query = nullptr;
    RegCloseKeyFn close = nullptr;
    bool complete() const { return open && query && close; }
};

template <typename Fn>
Fn resolve(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const RegistryFunctions& registryFunctions() {
    static std::once_flag loaded;
    static RegistryFunctions functions;
    std::call_once(loaded, [] {
        HMODULE advapi = LoadLibraryExW(L"advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!advapi) return;
        functions.open = resolve<RegOpenKeyExAFn>(advapi, "RegOpenKeyExA");
        functions.query = resolve<RegQueryValueExAFn>(advapi, "RegQueryValueExA");
        functions.close = resolve<RegCloseKeyFn>(advapi, "RegCloseKey");
    });
    return functions;
}

}  // namespace

std::optional<RegistryValue> Win32Registry::readValue(std::int32_t root, const std::string& keyPath,
                                                      const std::string& valueName,
                                                      std::size_t bufferSize) {
    const RegistryFunctions& reg = registryFunctions();
    if (!reg.complete() || bufferSize > MAXDWORD) return std::nullopt;
    // The predefined keys are 32-bit values sign-extended to a handle: HKEY_LOCAL_MACHINE is
    // (HKEY)(LONG_PTR)(LONG)0x80000002, so the signed root widens to the same handle.
    const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
    HKEY key = nullptr;
    if (reg.open(rootKey, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;

    RegistryValue value;
    value.bytes.assign(bufferSize, 0);
    DWORD type = 0;
    auto size = static_cast<DWORD>(bufferSize);
    const LSTATUS status = reg.query(key, valueName.c_str(), nullptr, &type,
                                     value.bytes.empty() ? nullptr : value.bytes.data(), &size);
    reg.close(key);
    if (status != ERROR_SUCCESS || size > bufferSize) return std::nullopt;
    value.type = type;
    value.bytes.resize(size);
    return value;
}

}  // namespace kelmora::platform::win32
