// SPDX-License-Identifier: MIT
#include "platform/win32/Win32Identity.h"

#include <winternl.h>

#include <map>
#include <mutex>

namespace kelmora::platform::win32 {
namespace {

using Kind = LifeWitness::Kind;

// The file systems whose 64-bit file IDs carry a reuse counter. Only NTFS is known to: any other
// name is treated as not counting, the side on which a recreated file is refused.
IdReuse reuseOfFileSystem(const wchar_t* name) {
    return lstrcmpiW(name, L"NTFS") == 0 ? IdReuse::Counted : IdReuse::Uncounted;
}

}  // namespace

IdReuse volumeIdReuse(HANDLE handle, std::uint64_t volumeSerial) {
    static std::mutex guard;
    static std::map<std::uint64_t, IdReuse> known;  // by volume serial number, for the process
    const std::lock_guard lock(guard);
    if (const auto found = known.find(volumeSerial); found != known.end()) return found->second;
    wchar_t fileSystem[MAX_PATH + 1] = {};
    const IdReuse reuse = GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr,
                                                        nullptr, fileSystem, MAX_PATH + 1)
                              ? reuseOfFileSystem(fileSystem)
                              : IdReuse::Uncounted;
    known.emplace(volumeSerial, reuse);
    return reuse;
}

FileIdentity makeIdentity(const IdentityFacts& facts, IdReuse reuse) {
    FileIdentity id{facts.volumeSerial, facts.fileIndex, {}};
    if (reuse == IdReuse::Uncounted && !facts.folder) {
        id.life.kind = Kind::SizeAndTimes;
        id.life.words = {static_cast<std::uint64_t>(facts.size), facts.lastWriteTime,
                         facts.creationTime};
    }
    return id;
}

FileIdentity identityOf(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
    IdentityFacts facts;
    facts.volumeSerial = info.dwVolumeSerialNumber;
    facts.fileIndex = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    facts.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                           info.nFileSizeLow);
    facts.lastWriteTime = fileTimeTicks(info.ftLastWriteTime);
    facts.creationTime = fileTimeTicks(info.ftCreationTime);
    return makeIdentity(facts, volumeIdReuse(handle, info.dwVolumeSerialNumber));
}

std::optional<FileIdentity> identityOfHandle(HANDLE handle, DWORD& error) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        error = GetLastError();
        return std::nullopt;
    }
    error = 0;
    return identityOf(handle, info);
}

std::optional<FileIdentity> identityOnVolume(HANDLE handle, std::uint64_t volumeSerial,
                                             DWORD& error, DWORD* attributes) {
    FILE_INTERNAL_INFORMATION index{};
    IO_STATUS_BLOCK status{};
    const NTSTATUS result =
        NtQueryInformationFile(handle, &status, &index, sizeof index, FileInternalInformation);
    FILE_BASIC_INFO basic{};
    if (result < 0 || !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        error = result < 0 ? RtlNtStatusToDosError(result) : GetLastError();
        return std::nullopt;
    }
    if (attributes) *attributes = basic.FileAttributes;
    IdentityFacts facts;
    facts.volumeSerial = volumeSerial;
    facts.fileIndex = static_cast<std::uint64_t>(index.IndexNumber.QuadPart);
    facts.folder = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.lastWriteTime = static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart);
    facts.creationTime = static_cast<std::uint64_t>(basic.CreationTime.QuadPart);
    const IdReuse reuse = volumeIdReuse(handle, volumeSerial);
    if (reuse == IdReuse::Uncounted && !facts.folder) {
        FILE_STANDARD_INFO standard{};
        if (!GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
            error = GetLastError();
            return std::nullopt;
        }
        facts.size = standard.EndOfFile.QuadPart;
    }
    error = 0;
    return makeIdentity(facts, reuse);
}

}  // namespace kelmora::platform::win32
