// SPDX-License-Identifier: MIT
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
//   win_bench bin FOLDER FILES ROUNDS [TRASH]
//       Move to bin alone: the Win32 remover's moveToTrash on FILES fresh files with no window,
//       against the bare SHFileOperationW loop.
//   win_bench plant FOLDER FILES MATCHING LONGEST
//       Plants a tree shaped as a user's drive below FOLDER (RealisticTree) for the scan.
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
#include <random>
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

// A drive as a user's looks, planted below `root` (which must not exist): `files` files in all, of
// which `matching` match a mask, spread evenly; names in Czech, Chinese, Japanese and Korean and
// with emoji; a folder of 1,200 subfolders; and a chain of folders of long Czech names whose
// deepest file's path is `longest` characters. The same arguments give the same tree.
struct Planted {
    std::size_t files = 0, matching = 0, folders = 0, longest = 0;
};

class RealisticTree {
  public:
    RealisticTree(std::size_t files, std::size_t matching) : files_(files), matching_(matching) {}

    Planted plant(const std::wstring& root, std::size_t longest) {
        folder(root);
        // The folder of 1,200 subfolders, three files in each.
        const std::wstring photos = root + L"\\Fotky 📷 z dovolené";
        folder(photos);
        for (int day = 0; day < 1200 && planted_.files < files_; ++day) {
            const std::wstring sub = photos + L"\\Den " + std::to_wstring(day + 1) + L" – výlet";
            folder(sub);
            for (int i = 0; i < 3; ++i) file(sub, L"IMG_" + std::to_wstring(day * 3 + i));
        }
        // The long chain: folders of long Czech names, a few files at every level, down to a file
        // whose path is `longest` characters.
        std::wstring chain = root + L"\\Účetnictví";
        folder(chain);
        const std::wstring level = L"\\Přílohy k fakturám – duplicitní kopie ze zálohy";
        while (chain.size() + level.size() + 40 < longest) {
            chain += level;
            folder(chain);
            for (int i = 0; i < 4; ++i) file(chain, L"příloha " + std::to_wstring(i));
        }
        const std::wstring stem = L"poslední soubor ";
        file(chain, stem + std::wstring(longest - chain.size() - 1 - stem.size() - 4, L'ř'), true);
        // The rest: a tree of folders up to seven deep, named in many scripts.
        std::vector<std::pair<std::wstring, int>> folders{{root, 0}};
        while (planted_.files < files_) {
            if (random_() % 12 == 0 || folders.size() < 40) {
                const auto parent = folders[random_() % folders.size()];
                if (parent.second < 7) {
                    const std::wstring sub =
                        parent.first + L"\\" + pick() + L" " + std::to_wstring(planted_.folders);
                    folder(sub);
                    folders.emplace_back(sub, parent.second + 1);
                }
            }
            file(folders[random_() % folders.size()].first,
                 pick() + L" " + std::to_wstring(planted_.files));
        }
        return planted_;
    }

  private:
    std::wstring pick() {
        static const wchar_t* const words[] = {L"Dokumenty",
                                               L"příliš žluťoučký kůň",
                                               L"úpěl ďábelské ódy",
                                               L"Zálohy",
                                               L"šablona",
                                               L"Účtenky",
                                               L"Ďáblice",
                                               L"Ťukání",
                                               L"資料",
                                               L"写真",
                                               L"バックアップ",
                                               L"临时文件",
                                               L"문서",
                                               L"プロジェクト",
                                               L"📁 věci",
                                               L"🎵 hudba",
                                               L"😀",
                                               L"notes",
                                               L"build",
                                               L"Source",
                                               L"cache",
                                               L"Program Data"};
        return words[random_() % std::size(words)];
    }

    void folder(const std::wstring& path) {
        CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
        ++planted_.folders;
    }

    // A file named `stem` and an extension; matching one file in so many, evenly.
    // `plain`: an extension of four characters.
    void file(const std::wstring& folderPath, const std::wstring& stem, bool plain = false) {
        static const wchar_t* const matchingExt[] = {L".tmp", L".TMP", L".bak", L".old",
                                                     L".chk", L".~ab", L".gid", L".syd"};
        static const wchar_t* const otherExt[] = {L".txt",  L".docx", L".jpg",  L".pdf",
                                                  L".xlsx", L".tmpl", L".bak2", L""};
        const std::size_t i = planted_.files;
        const bool matching = (i + 1) * matching_ / files_ > i * matching_ / files_;
        const wchar_t* extension = matching ? matchingExt[random_() % std::size(matchingExt)]
                                            : otherExt[random_() % std::size(otherExt)];
        if (plain) extension = matching ? L".tmp" : L".txt";
        place(folderPath, stem + extension, matching);
    }

    void place(const std::wstring& folderPath, const std::wstring& name, bool matching) {
        const std::wstring path = folderPath + L"\\" + name;
        CloseHandle(CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ++planted_.files;
        planted_.matching += matching;
        planted_.longest = std::max(planted_.longest, path.size());
    }

    std::size_t files_, matching_;
    std::mt19937 random_{28};
    Planted planted_;
};

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

// The Win32 remover's moveToTrash on each listed file of `folder`, with no window.
double engineBin(const std::wstring& folder) {
    const MainState state = scannedState(folder);
    auto remover = platform::makeFileRemover();
    return seconds([&] {
        for (std::size_t row = state.Results.size(); row-- > 0;)
            remover->moveToTrash(state.Results.listed(row));
        remover->finishBatch();
    });
}

// Move to bin alone: the remover with no window against the bare SHFileOperationW loop, over the
// same number of fresh files, the order turning each round.
int bin(const std::wstring& folder, int files, int rounds, const std::wstring& trash) {
    std::vector<double> engine, shell, ratios;
    for (int round = 1; round <= rounds; ++round) {
        double en = 0, sh = 0;
        const std::function<void()> ways[] = {
            [&] {
                plant(folder, files);
                en = engineBin(folder);
            },
            [&] { sh = bareShellLoop(plant(folder, files)); },
        };
        for (int i = 0; i < 2; ++i) {
            ways[(round + i) % 2]();
            if (!trash.empty()) emptyTrash(trash);
        }
        engine.push_back(en);
        shell.push_back(sh);
        ratios.push_back(en / sh);
        std::printf("  round %d: SHFileOperationW loop %.1f ms, engine %.1f ms (%.2fx)\n", round,
                    sh * 1e3, en * 1e3, en / sh);
    }
    std::printf(
        "Move to bin %d files: SHFileOperationW loop %.2f ms a file, engine %.2f ms a file "
        "(%.2fx)\n",
        files, median(shell) * 1e3 / files, median(engine) * 1e3 / files, median(ratios));
    return 0;
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
    if (mode == L"plant" && argc == 6) {
        const Planted planted = RealisticTree(std::stoul(argv[3]), std::stoul(argv[4]))
                                    .plant(argv[2], std::stoul(argv[5]));
        std::printf(
            "planted %zu files (%zu matching) in %zu folders, longest path %zu characters\n",
            planted.files, planted.matching, planted.folders, planted.longest);
        return 0;
    }
    if (mode == L"bin" && (argc == 5 || argc == 6))
        return bin(argv[2], std::stoi(argv[3]), std::stoi(argv[4]), argc == 6 ? argv[5] : L"");
    std::fprintf(stderr,
                 "usage: win_bench scan ROUNDS | win_bench remove FOLDER FILES BIN_FILES ROUNDS "
                 "[TRASH] | win_bench bin FOLDER FILES ROUNDS [TRASH] | win_bench plant FOLDER "
                 "FILES MATCHING LONGEST\n");
    return 2;
}
