// SPDX-License-Identifier: MIT
#include "platform/win32/VolumeTable.h"

#include <span>

#include "platform/win32/ClosedAtEnd.h"
#include "platform/win32/DeviceReader.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Identity.h"
#include "platform/win32/Win32Path.h"
#include "platform/win32/ntfs/MasterFileTable.h"

namespace kelmora::platform::win32 {
std::optional<VolumeTable> VolumeTable::read(const std::wstring& root,
                                             const std::atomic<bool>* stop) {
    if (root.size() != 3 || !isDriveAbsolute(root)) return std::nullopt;
    // How the platform names the root: its volume's serial number and the form of its file IDs.
    const ClosedAtEnd folder(
        CreateFileW(extendedPath(root).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (folder.handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(folder.handle, &info))
        return std::nullopt;
    if (volumeIdReuse(folder.handle, info.dwVolumeSerialNumber) != IdReuse::Counted)
        return std::nullopt;
    const std::uint64_t rootId =
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (ntfs::recordNumberOf(rootId) != ntfs::FolderTree::kRootRecord) return std::nullopt;

    const std::wstring devicePath = L"\\\\.\\" + root.substr(0, 2);
    const ClosedAtEnd device(CreateFileW(devicePath.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    if (device.handle == INVALID_HANDLE_VALUE) return std::nullopt;
    DeviceReader reader(device.handle, stop);
    ntfs::TableRefusal refusal{};
    auto tree = ntfs::FolderTree::read(
        [&reader](std::uint64_t offset, std::span<std::byte> into,
                  std::optional<ntfs::Piece> next) { return reader(offset, into, next); },
        refusal);
    if (!tree) return std::nullopt;
    const auto rootFile = tree->fileOfRecord(ntfs::FolderTree::kRootRecord);
    if (!rootFile) return std::nullopt;
    // The root's ID with the sequence number (Windows) or without (Wine); anything else is not
    // this table's volume.
    const bool withSequence = rootId == tree->file(*rootFile).reference;
    if (!withSequence && rootId != ntfs::FolderTree::kRootRecord) return std::nullopt;
    return VolumeTable(std::move(*tree), info.dwVolumeSerialNumber, withSequence);
}

FileIdentity VolumeTable::identityOf(const ntfs::FolderTree::File& file) const {
    IdentityFacts facts;
    facts.volumeSerial = serial_;
    facts.fileIndex = idsCarrySequence_ ? file.reference : ntfs::recordNumberOf(file.reference);
    facts.folder = (file.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.size = static_cast<std::int64_t>(file.size);
    return makeIdentity(facts, IdReuse::Counted);
}

std::optional<std::uint32_t> VolumeTable::folderOf(
    const std::optional<FileIdentity>& expected) const {
    std::optional<std::uint32_t> index;
    if (!expected) {
        index = tree_.fileOfRecord(ntfs::FolderTree::kRootRecord);
    } else if (expected->device == serial_) {
        index = tree_.fileOfRecord(ntfs::recordNumberOf(expected->inode));
    }
    if (!index) return std::nullopt;
    const ntfs::FolderTree::File& folder = tree_.file(*index);
    if ((folder.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (expected && !expected->sameNumber(identityOf(folder))))
        return std::nullopt;
    return index;
}

FileIdentity VolumeTable::list(std::uint32_t folder, std::vector<DirEntry>& out) const {
    const auto entries = tree_.entriesOf(folder);
    out.reserve(out.size() + entries.size());
    for (const ntfs::FolderTree::Entry& entry : entries) {
        const ntfs::FolderTree::File& file = tree_.file(entry.file);
        const std::u16string_view name = tree_.name(entry);
        DirEntry listed =
            toDirEntry(std::wstring(name.begin(), name.end()), file.attributes, file.reparseTag);
        listed.id = identityOf(file);
        if (listed.type == EntryType::File) listed.size = static_cast<std::int64_t>(file.size);
        out.push_back(std::move(listed));
    }
    return identityOf(tree_.file(folder));
}

}  // namespace kelmora::platform::win32
