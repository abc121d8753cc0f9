// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "tests/support/TempTree.h"

namespace kelmora::test {

// A temporary tree on a Windows drive, built with the W functions so that any name the file
// system allows can be made. Relative names use "\"; the tree is removed with the WinTree.
class WinTree {
  public:
    // In the system's temporary folder.
    WinTree() = default;
    // In a new folder below `base` (a folder path ending in "\", such as another drive's root).
    explicit WinTree(const std::wstring& base) {
        std::random_device seed;
        for (int attempt = 0; attempt < 100 && !own_; ++attempt) {
            const std::wstring candidate = base + L"kelmora-test-" + std::to_wstring(seed());
            if (CreateDirectoryW(longForm(candidate).c_str(), nullptr)) own_ = candidate;
        }
    }
    WinTree(const WinTree&) = delete;
    WinTree& operator=(const WinTree&) = delete;
    // Empties the tree itself, so that read-only files and links go too: links are removed as
    // links, never entered.
    ~WinTree() {
        clear(longForm(root()));
        if (own_) RemoveDirectoryW(longForm(*own_).c_str());
    }

    // Empty when the tree could not be made below its base.
    std::wstring root() const { return own_ ? *own_ : tree_.root(); }
    std::wstring path(const std::wstring& rel) const { return root() + L"\\" + rel; }
    // The folder path in the scan's form, ending in the separator.
    std::wstring folderPath(const std::wstring& rel = L"") const {
        return rel.empty() ? root() + L"\\" : path(rel) + L"\\";
    }

    bool folder(const std::wstring& rel) const {
        return CreateDirectoryW(longForm(path(rel)).c_str(), nullptr) != FALSE;
    }
    // A file of `size` bytes, sparse where the file system allows, so large sizes cost no disk.
    bool file(const std::wstring& rel, std::int64_t size = 0, const std::string& bytes = {}) const {
        const HANDLE h = CreateFileW(longForm(path(rel)).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        bool ok = bytes.empty() ||
                  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (ok && size > 0) {
            LARGE_INTEGER end{};
            end.QuadPart = size;
            ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
        }
        CloseHandle(h);
        return ok;
    }
    // Sets the attributes and tells whether they read back: Wine keeps hidden and system in an
    // extended attribute that some file systems (tmpfs) drop.
    bool setAttributes(const std::wstring& rel, DWORD attributes) const {
        const std::wstring p = longForm(path(rel));
        if (!SetFileAttributesW(p.c_str(), attributes)) return false;
        const DWORD back = GetFileAttributesW(p.c_str());
        const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
        return back != INVALID_FILE_ATTRIBUTES && (back & kept) == (attributes & kept);
    }
    bool exists(const std::wstring& rel) const {
        return GetFileAttributesW(longForm(path(rel)).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // Bytes of the file, or nothing when it cannot be read.
    std::string read(const std::wstring& rel) const {
        const HANDLE h = CreateFileW(longForm(path(rel)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return {};
        std::string out(4096, '\0');
        DWORD got = 0;
        ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
        CloseHandle(h);
        out.resize(got);
        return out;
    }

  private:
    static void clear(const std::wstring& folder) {
        WIN32_FIND_DATAW data{};
        const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return;
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring p = folder + L"\\" + name;
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW(p.c_str());
            } else {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) clear(p);
                RemoveDirectoryW(p.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    static std::wstring longForm(const std::wstring& p) { return L"\\\\?\\" + p; }
    TempTree tree_;
    std::optional<std::wstring> own_;  // the tree's folder when made below a given base
};

}  // namespace kelmora::test
