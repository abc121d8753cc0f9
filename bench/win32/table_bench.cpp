// SPDX-License-Identifier: MIT
// Measures the scan of an NTFS volume from its master file table against the walk of its folders,
// under Wine, with the real Windows main window shown (bench/run-windows-table.sh makes the
// volume, gives it to Wine as a drive whose device is the image and whose folder is its ntfs-3g
// mount, copies its tree onto a plain folder, and drops the caches for the cold rounds).
//
//   table_bench window MODE ROOT
//       One whole scan in the window, from the click on the scan button until the window has
//       painted its final state; MODE "table" lets the file system read the table of ROOT's
//       volume, "walk" walks it. Prints the seconds and the rows.
//   table_bench reader ROOT
//       The table reader alone on ROOT's volume: the read and the folder tree built from it, with
//       the table's records a second, the tree's bytes a file, and the most bytes that the
//       process's heap held at once during the read and the build, over the files (every
//       allocation of this program goes through the counting operator new below).
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "app/win32/DesignPlacement.h"
#include "app/win32/MainFrm.h"
#include "bench/Timing.h"
#include "bench/win32/Settle.h"
#include "platform/Platform.h"
#include "platform/win32/VolumeTable.h"
#include "platform/win32/Win32FileRemover.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProgramStarter.h"
#include "platform/win32/Win32Registry.h"
#include "window/DesignLayout.h"

namespace {

// The heap's bytes in use, and the most since the last reset; each block carries its size ahead.
std::atomic<std::size_t> heapBytes{0};
std::atomic<std::size_t> heapPeak{0};
constexpr std::size_t kHeader = 16;  // keeps the blocks 16-byte aligned

}  // namespace

void* operator new(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + kHeader));
    if (!block) throw std::bad_alloc();
    *block = size;
    const std::size_t now = heapBytes.fetch_add(size) + size;
    for (std::size_t peak = heapPeak.load();
         now > peak && !heapPeak.compare_exchange_weak(peak, now);) {
    }
    return reinterpret_cast<char*>(block) + kHeader;
}
void operator delete(void* memory) noexcept {
    if (!memory) return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(memory) - kHeader);
    heapBytes.fetch_sub(*block);
    std::free(block);
}
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }

namespace {

using namespace kelmora;
using platform::win32::Win32FileSystem;

HWND controlOf(const win32ui::MainFrm& window, std::string_view name) {
    return GetDlgItem(window.hwnd(), win32ui::controlId(kMainLayout, name));
}

using kelmora::bench::settle;

int window(const std::wstring& mode, const std::wstring& root) {
    const auto use = mode == L"table" ? Win32FileSystem::TableUse::FromTable
                                      : Win32FileSystem::TableUse::DiskOnly;
    platform::Services services{
        std::make_unique<Win32FileSystem>(platform::win32::isFileGuardedBySystem, use),
        std::make_unique<platform::win32::Win32FileRemover>(),
        std::make_unique<platform::win32::Win32Registry>(),
        std::make_unique<platform::win32::Win32ProgramStarter>()};
    win32ui::MainFrm shown(std::move(services), NativeString(root));
    shown.show();
    settle(shown.hwnd());
    const double seconds = bench::seconds([&] {
        SendMessageW(controlOf(shown, "cmdScan"), BM_CLICK, 0, 0);
        settle(shown.hwnd());
    });
    const auto rows = SendMessageW(controlOf(shown, "lstList"), LB_GETCOUNT, 0, 0);
    std::printf("%ls %ls: %.3f s, %ld rows\n", mode.c_str(), root.c_str(), seconds,
                static_cast<long>(rows));
    return 0;
}

int reader(const std::wstring& root) {
    std::optional<platform::win32::VolumeTable> table;
    const std::size_t before = heapBytes.load();
    heapPeak.store(before);
    const double seconds =
        bench::seconds([&] { table = platform::win32::VolumeTable::read(root + L"\\"); });
    if (!table) {
        std::printf("reader %ls: no table\n", root.c_str());
        return 1;
    }
    const auto files = static_cast<double>(table->files());
    std::printf(
        "reader %ls: %.3f s for %zu files, %.0f files/s, %.1f bytes a file in the tree, "
        "%.1f bytes a file at the peak of the read and build (%.1f MiB)\n",
        root.c_str(), seconds, table->files(), files / seconds,
        static_cast<double>(table->bytes()) / files,
        static_cast<double>(heapPeak.load() - before) / files,
        static_cast<double>(heapPeak.load() - before) / (1 << 20));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"window" && argc == 4) return window(argv[2], argv[3]);
    if (mode == L"reader" && argc == 3) return reader(argv[2]);
    std::fprintf(stderr, "usage: table_bench window table|walk ROOT | table_bench reader ROOT\n");
    return 2;
}
