// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelmora::platform::win32 {

// True when the program runs under Wine, whose kernel32 has exports that Windows' lacks.
bool runsUnderWine();

// The string form of the SID of the user this process runs as ("S-1-5-21-…"), which names the
// user's own folder in each volume's bin; empty when it cannot be read.
std::wstring userSid();

// contains tells whether the file whose 64-bit file index is `fileIndex`, listed at `path`
// ("C:\data\old.tmp"), now lies in a recycle bin of its volume: the proof, after the shell was
// asked to recycle a listed file, that the listed file is the one that left.
//
// A recycle on one volume is a rename, which keeps the file's index; so the file is opened by
// that index (OpenFileById) with a bin's folder as the hint, and the path it is found at must lie
// inside that folder. The caller holds the listed file open across the shell's call, so that no
// other file can take its index meanwhile: the file found by the index is the listed one.
//
// The bins looked in:
// - On Windows, only the user's own bin on the file's volume, "X:\$Recycle.Bin\<the user's
//   SID>", as the shell names what it keeps there: the file directly in it under a "$R" name, and
//   beside it the "$I" record of the same name's rest, which names the file's former path. A file
//   anywhere else below the volume's bin, or without its record, is not in the bin.
// - Under Wine, whose shell moves a recycled file into the Unix user's freedesktop home trash, that
//   trash's "files" folder, named in Windows' terms through Wine's own kernel32 export, which
//   Windows does not have: XDG_DATA_HOME/Trash/files when the program's environment sets
//   XDG_DATA_HOME, else the Unix home's .local/share/Trash/files, the home that Wine names in
//   WINEHOMEDIR. Wine's shell renames the file there when the trash is on the file's Unix file
//   system; on another one it copies the file and deletes it (Wine 8 uses no trash at the top of
//   the file's own file system), and a copy has an index of its own: it is not found, the file
//   does not count as moved. Wine opens a file by its index by searching the hint's folder and
//   those below it on the same Unix device, so with the trash as the hint it finds the file there
//   or nowhere; and its index is the Unix inode number, which the open listed file keeps from being
//   reused. Wine's bin keeps the file's name (or adds a number to it), so the file is first looked
//   for under it, directly in the bin's folder, and taken when it has the index. Windows' layout
//   is looked for as well, after Wine's trash.
//
// False with the system's error code in `error` when no bin holds the file (ERROR_FILE_NOT_FOUND
// when it was not found in any).
//
// For a batch of files, what costs the same for every file is done once, the bin
// folders found, opened and checked at their first use and held open until clear(). Under Wine,
// asking the volume a file or folder lies on is a round trip to another process, and finding the
// home trash's Windows name costs a few more; per file that was more than a shell call's time.
//
// A bin is held without FILE_SHARE_DELETE, as FolderChain holds its folders: while held it can be
// neither renamed nor replaced, so a file found in it lies in the bin at the bin's path, as when
// the bin was opened by its path for each file. A bin not found is looked for again at the next
// file: the shell makes a volume's bin with the first file it recycles there.
class RecycleBins {
  public:
    RecycleBins() = default;
    RecycleBins(const RecycleBins&) = delete;
    RecycleBins& operator=(const RecycleBins&) = delete;
    ~RecycleBins() { clear(); }

    bool contains(const std::wstring& path, std::uint64_t fileIndex, DWORD& error);
    // Closes the bins.
    void clear();

  private:
    struct Bin {
        std::wstring path;
        bool windowsLayout = false;  // "$R" data with its "$I" record, not Wine's trash
        HANDLE handle = INVALID_HANDLE_VALUE;
        std::wstring finalPath;  // the system's name of the bin, read when first needed
    };
    // The bin at `path`, opened and checked at its first use; null with the error when it cannot
    // be had.
    Bin* open(const std::wstring& path, bool windowsLayout, DWORD& error);
    bool foundIn(Bin& bin, std::uint64_t fileIndex, const std::wstring& path,
                 std::wstring_view name, DWORD& error);

    bool wineTrashKnown_ = false;
    std::wstring wineTrash_;  // empty: none (on Windows)
    std::wstring sid_;        // the user's SID, which names the user's bin on each volume
    std::vector<Bin> bins_;
};

}  // namespace kelmora::platform::win32
