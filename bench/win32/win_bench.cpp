// Measures the real Windows main window (Kelmora.exe's) under Wine on a display
// (bench/run-windows.sh starts Xvfb and plants the files) against bare loops of the Win32 calls
// that do the same work, and the core without a window (engine) between them.
//
//   win_bench scan ROUNDS
//       The window's scan of the whole drive C:, from the click on the scan button until the
//       window has painted its final state, and the core's scan with no window, against a bare
//       depth-first FindFirstFileExW walk of the same drive that decides each file's masks as
//       the scan does.
//   win_bench remove FOLDER FILES BIN_FILES ROUNDS [TRASH]
//       FILES files planted in FOLDER (100 to a folder) before each measurement. Erase of the
//       FILES selected rows in the window (FOLDER is scanned, Select all clicked, then the click on
//       Erase is timed until the final state is painted), and the Win32 remover's deleteFile on
//       each with no window, against a bare DeleteFileW loop over the same files; then Move to bin
//       of BIN_FILES rows in the window against a bare SHFileOperationW loop (the program's flags)
//       over the same files. Meanwhile a thread sends the window WM_NULL with SendMessageTimeout,
//       as Windows does to tell a window that hangs, one after the other: the longest wait for an
//       answer is the longest time the window did not answer the system. TRASH, the freedesktop
//       trash that Wine's bin puts files in, is emptied after each bin measurement.
//
// Rounds are interleaved, the order turning; the figures are medians, the ratios the medians of
// the per-round ratios, the longest waits the longest of all rounds.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/DesignPlacement.h"
#include "app/win32/MainFrm.h"
#include "bench/NullView.h"
#include "bench/Timing.h"
#include "bench/win32/Settle.h"
#include "platform/Platform.h"
#include "scan/Masks.h"
#include "scan/Scan.h"
#include "window/DesignLayout.h"

namespace {

using namespace kelmora;
using bench::median;
using bench::seconds;
using Clock = std::chrono::steady_clock;

HWND controlOf(const win32ui::MainFrm& window, std::string_view name) {
    return GetDlgItem(window.hwnd(), win32ui::controlId(kMainLayout, name));
}

void click(const win32ui::MainFrm& window, std::string_view name) {
    SendMessageW(controlOf(window, name), BM_CLICK, 0, 0);
}

using kelmora::bench::settle;

std::size_t rowCount(const win32ui::MainFrm& window) {
    return static_cast<std::size_t>(SendMessageW(controlOf(window, "lstList"), LB_GETCOUNT, 0, 0));
}

std::unique_ptr<win32ui::MainFrm> shownWindow(NativeString root) {
    platform::Services services{platform::makeFileSystem(isListableName),
                                platform::makeFileRemover(), platform::makeRegistry(),
                                platform::makeProgramStarter()};
    auto window = std::make_unique<win32ui::MainFrm>(std::move(services), std::move(root));
    window->show();
    settle(window->hwnd());
    return window;
}

// The bare walk: depth-first, one FindFirstFileExW search per folder, no link followed, and the
// masks of every file's name decided as the scan decides them.
std::size_t bareWalk(const std::wstring& root) {
    const MaskSet masks(nativeMaskTable());
    std::vector<std::wstring> folders{root};
    std::size_t matching = 0;
    WIN32_FIND_DATAW found{};
    while (!folders.empty()) {
        const std::wstring folder = std::move(folders.back());
        folders.pop_back();
        const HANDLE search =
            FindFirstFileExW((L"\\\\?\\" + folder + L"\\*").c_str(), FindExInfoBasic, &found,
                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring_view name = found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (name != L"." && name != L".." &&
                    !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    folders.push_back(folder + L"\\" + found.cFileName);
            } else if (masks.matching(name) != 0) {
                ++matching;
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return matching;
}

// The core's scan of the drive with no window, over the real file system or one that asks no
// protection question.
MainState scannedState(NativeString root) {
    MainState state;
    state.Idle = 1;
    state.Masks = nativeMaskTable();
    bench::NullView view;
    auto fs = platform::makeFileSystem(isListableName);
    Scan scan(state, view, *fs, std::move(root), [] {});
    scan.click();
    return state;
}

// The Win32 remover's deleteFile on each listed file, with no window.
double engineErase(const std::wstring& folder) {
    const MainState state = scannedState(folder);
    auto remover = platform::makeFileRemover();
    return seconds([&] {
        for (std::size_t row = state.Results.size(); row-- > 0;)
            remover->deleteFile(state.Results.listed(row));
        remover->finishBatch();
    });
}

int scan(int rounds) {
    std::vector<double> bare, engine, window, engineRatios, windowRatios;
    std::size_t matching = 0, rows = 0;
    auto shown = shownWindow(NativeString(kDriveRoot));
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the caches, not counted
        double b = 0, e = 0, w = 0;
        const auto timeBare = [&] {
            b = seconds([&] { matching = bareWalk(NativeString(kDriveRoot)); });
        };
        const auto timeEngine = [&] {
            e = seconds([&] { (void)scannedState(NativeString(kDriveRoot)); });
        };
        const auto timeWindow = [&] {
            w = seconds([&] {
                click(*shown, "cmdScan");
                settle(shown->hwnd());
            });
            rows = rowCount(*shown);
        };
        if (round % 2) {
            timeWindow();
            timeEngine();
            timeBare();
        } else {
            timeBare();
            timeEngine();
            timeWindow();
        }
        if (round == 0) continue;
        bare.push_back(b);
        engine.push_back(e);
        window.push_back(w);
        engineRatios.push_back(e / b);
        windowRatios.push_back(w / b);
        std::printf("  round %d: bare walk %.1f ms, engine %.1f ms, window %.1f ms (%.2fx)\n",
                    round, b * 1e3, e * 1e3, w * 1e3, w / b);
    }
    std::printf(
        "scan of C: (%zu matching files, %zu rows): bare walk %.1f ms, engine %.1f ms "
        "(%.2fx), window %.1f ms (%.2fx)\n",
        matching, rows, median(bare) * 1e3, median(engine) * 1e3, median(engineRatios),
        median(window) * 1e3, median(windowRatios));
    return 0;
}

std::vector<std::wstring> plant(const std::wstring& folder, int files) {
    std::vector<std::wstring> paths;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        const std::wstring sub = folder + L"\\d" + std::to_wstring(i / 100);
        if (i % 100 == 0) CreateDirectoryW(sub.c_str(), nullptr);
        paths.push_back(sub + L"\\leftover " + std::to_wstring(i) + L".tmp");
        CloseHandle(CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return paths;
}

// Sends the window WM_NULL, one message after the other, from a thread of its own until stopped,
// and keeps the longest wait for an answer.
class SystemProbe {
  public:
    explicit SystemProbe(HWND window) : window_(window), thread_([this] { run(); }) {}
    SystemProbe(const SystemProbe&) = delete;
    SystemProbe& operator=(const SystemProbe&) = delete;

    // Stops probing and gives the longest wait, in seconds. The window's thread answers the last
    // message here.
    double stop() {
        stop_ = true;
        while (!finished_) {
            settle(window_);
            Sleep(1);
        }
        thread_.join();
        return longest_;
    }

  private:
    void run() {
        while (!stop_) {
            const auto start = Clock::now();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
            const double waited = std::chrono::duration<double>(Clock::now() - start).count();
            if (waited > longest_) longest_ = waited;
            Sleep(5);
        }
        finished_ = true;
    }

    HWND window_;
    std::atomic<bool> stop_{false}, finished_{false};
    std::atomic<double> longest_{0};
    std::thread thread_;
};

struct Removal {
    double seconds = 0;
    double longestUnanswered = 0;
    std::size_t left = 0;  // rows still listed afterwards
};

Removal removeInWindow(const std::wstring& folder, std::string_view button) {
    auto window = shownWindow(folder);
    click(*window, "cmdScan");
    settle(window->hwnd());
    click(*window, "cmdCA");
    settle(window->hwnd());
    Removal removal;
    SystemProbe probe(window->hwnd());
    removal.seconds = seconds([&] {
        click(*window, button);
        settle(window->hwnd());
    });
    removal.longestUnanswered = probe.stop();
    removal.left = rowCount(*window);
    return removal;
}

// Empties a freedesktop trash folder (its files and their records).
void emptyTrash(const std::wstring& trash) {
    for (const wchar_t* part : {L"\\files", L"\\info"}) {
        const std::wstring folder = trash + part;
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
}

// Moves each file to the bin with one SHFileOperationW call, as the program does under Wine, with
// its flags but for the question before erasing what the bin cannot take: the program's hook that
// refuses it is part of what the window's figure costs.
double bareShellLoop(const std::vector<std::wstring>& paths) {
    return seconds([&] {
        for (const auto& path : paths) {
            std::wstring from = path;
            from.push_back(L'\0');
            SHFILEOPSTRUCTW operation{};
            operation.wFunc = FO_DELETE;
            operation.pFrom = from.c_str();
            operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
            SHFileOperationW(&operation);
        }
    });
}

int remove(const std::wstring& folder, int files, int binFiles, int rounds,
           const std::wstring& trash) {
    std::vector<double> bare, engine, erase, engineRatios, eraseRatios, bin, shell, binRatios;
    double unanswered = 0, binUnanswered = 0;
    for (int round = 1; round <= rounds; ++round) {
        double b = 0, en = 0, sh = 0;
        Removal e, m;
        const std::function<void()> ways[] = {
            [&] {
                const auto paths = plant(folder, files);
                b = seconds([&] {
                    for (const auto& path : paths) DeleteFileW(path.c_str());
                });
            },
            [&] {
                plant(folder, files);
                en = engineErase(folder);
            },
            [&] {
                plant(folder, files);
                e = removeInWindow(folder, "cmdErase1");
            },
        };
        // Each round starts with another way: the file system is slower just after a mass
        // deletion.
        for (int i = 0; i < 3; ++i) ways[(round + i) % 3]();
        const std::function<void()> binWays[] = {
            [&] {
                plant(folder, binFiles);
                m = removeInWindow(folder, "cmdErase2");
            },
            [&] { sh = bareShellLoop(plant(folder, binFiles)); },
        };
        for (int i = 0; i < 2; ++i) {
            binWays[(round + i) % 2]();
            if (!trash.empty()) emptyTrash(trash);
        }
        if (e.left != 0 || m.left != 0)
            std::printf("  rows left: %zu after Erase, %zu after Move to bin\n", e.left, m.left);
        bare.push_back(b);
        engine.push_back(en);
        erase.push_back(e.seconds);
        engineRatios.push_back(en / b);
        eraseRatios.push_back(e.seconds / b);
        unanswered = std::max(unanswered, e.longestUnanswered);
        bin.push_back(m.seconds);
        shell.push_back(sh);
        binRatios.push_back(m.seconds / sh);
        binUnanswered = std::max(binUnanswered, m.longestUnanswered);
        std::printf(
            "  round %d: DeleteFileW loop %.1f ms, engine %.1f ms, Erase %.1f ms (%.2fx, "
            "longest unanswered %.0f ms); SHFileOperationW loop %.1f ms, Move to bin %.1f ms "
            "(%.2fx, longest unanswered %.0f ms)\n",
            round, b * 1e3, en * 1e3, e.seconds * 1e3, e.seconds / b, e.longestUnanswered * 1e3,
            sh * 1e3, m.seconds * 1e3, m.seconds / sh, m.longestUnanswered * 1e3);
    }
    std::printf(
        "Erase %d rows: DeleteFileW loop %.1f ms, engine %.1f ms (%.2fx), window %.1f ms "
        "(%.2fx), longest unanswered %.0f ms\n",
        files, median(bare) * 1e3, median(engine) * 1e3, median(engineRatios), median(erase) * 1e3,
        median(eraseRatios), unanswered * 1e3);
    std::printf(
        "Move to bin %d rows: SHFileOperationW loop %.1f ms (%.2f ms a file), window %.1f ms "
        "(%.2f ms a file, %.2fx), longest unanswered %.0f ms\n",
        binFiles, median(shell) * 1e3, median(shell) * 1e3 / binFiles, median(bin) * 1e3,
        median(bin) * 1e3 / binFiles, median(binRatios), binUnanswered * 1e3);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"scan" && argc == 3) return scan(std::stoi(argv[2]));
    if (mode == L"remove" && (argc == 6 || argc == 7))
        return remove(argv[2], std::stoi(argv[3]), std::stoi(argv[4]), std::stoi(argv[5]),
                      argc == 7 ? argv[6] : L"");
    std::fprintf(stderr,
                 "usage: win_bench scan ROUNDS | win_bench remove FOLDER FILES BIN_FILES ROUNDS "
                 "[TRASH]\n");
    return 2;
}
