// SPDX-License-Identifier: MIT
#include "platform/win32/BinPolicy.h"

#include <shellapi.h>

#include <algorithm>

namespace kelmora::platform::win32 {
namespace {

constexpr const wchar_t* kPolicies =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const wchar_t* kVolumes =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\";

std::optional<DWORD> number(HKEY root, const std::wstring& key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// The policy's value: the machine's where it is set, as a machine policy overrides the user's.
std::optional<DWORD> policy(const BinKeys& keys, const wchar_t* name) {
    if (const auto machine = number(keys.machine, kPolicies, name)) return machine;
    return number(keys.user, kPolicies, name);
}

void limit(BinSettings& settings, std::uint64_t bytes) {
    settings.maxBytes = std::min(settings.maxBytes.value_or(bytes), bytes);
}

}  // namespace

BinSettings readBinSettings(const std::wstring& root, const BinKeys& keys, bool askShell) {
    BinSettings settings;
    if (askShell) {
        SHQUERYRBINFO query{};
        query.cbSize = sizeof query;
        settings.hasBin = GetDriveTypeW(root.c_str()) == DRIVE_FIXED &&
                          SUCCEEDED(SHQueryRecycleBinW(root.c_str(), &query));
    }
    if (policy(keys, L"NoRecycleFiles").value_or(0) != 0) settings.nukeOnDelete = true;
    if (const auto percent = policy(keys, L"RecycleBinSize")) {
        ULARGE_INTEGER total{};
        if (GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, nullptr))
            limit(settings, total.QuadPart / 100 * std::min<DWORD>(*percent, 100));
        else if (*percent == 0)
            limit(settings, 0);
    }
    // "\\?\Volume{GUID}\": the volume's own key is named by the GUID.
    wchar_t volume[MAX_PATH] = {};
    if (GetVolumeNameForVolumeMountPointW(root.c_str(), volume, MAX_PATH)) {
        const std::wstring name(volume);
        const std::size_t open = name.find(L'{');
        const std::size_t close = name.find(L'}');
        if (open != std::wstring::npos && close != std::wstring::npos && open < close) {
            const std::wstring key = kVolumes + name.substr(open, close - open + 1);
            if (number(keys.user, key, L"NukeOnDelete").value_or(0) != 0)
                settings.nukeOnDelete = true;
            if (const auto mebibytes = number(keys.user, key, L"MaxCapacity"))
                limit(settings, std::uint64_t{*mebibytes} << 20);
        }
    }
    return settings;
}

DWORD recycleRefusal(const BinSettings& settings, std::uint64_t size) {
    if (!settings.hasBin || settings.nukeOnDelete) return ERROR_NOT_SUPPORTED;
    if (settings.maxBytes && (*settings.maxBytes == 0 || size > *settings.maxBytes))
        return ERROR_FILE_TOO_LARGE;
    return 0;
}

}  // namespace kelmora::platform::win32
