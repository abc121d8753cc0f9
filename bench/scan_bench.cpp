// SPDX-License-Identifier: MIT
// Measures the scan against a minimal reference walker on a generated tree.
//
//   scan_bench generate ROOT FILES FOLDERS [SEED [MATCHING%]]   build a deterministic tree
//   scan_bench deep ROOT LEVELS                     build a tree LEVELS deep of 255-byte names
//   scan_bench chain ROOT LEVELS NAME FILES         one chain of NAME-byte folders, FILES at its
//   end scan_bench depths DIR [ROUNDS]                  the window on chains 2,500 to 20,000 deep
//   scan_bench copy-shape FROM TO                   copy a real tree's shape (sparse files)
//   scan_bench run ROOT [ROUNDS]                    time every walker, interleaved, warm cache
//   scan_bench cold ROOT [ROUNDS]                   the same, each walker from empty caches
//   scan_bench scaling ROOT [ROUNDS]                the window cold by folders read ahead at once
//   scan_bench handover ROOT [ROUNDS]               the window with and without the read-ahead's
//                                                   listings handed over, against fd, warm and cold
//   scan_bench engine ROOT [--no-db|--print]        one engine scan alone, for profilers
//   scan_bench packages DBS [ROUNDS]                each package database read alone
//   scan_bench window ROOT                          one shown window's scan alone, with its peak
//                                                   resident memory (VmHWM)
//
// Each round runs the reference walker, the scan engine without a window (with and without the
// package database, with and without read-ahead), the real main window shown on the display the
// process has (bench/run.sh starts Xvfb; without a display, the offscreen platform) from the click
// on cmdScan until it is idle with its final state on the display, with and without read-ahead, GNU
// find with the ten masks and fd with 8 threads where they are installed; the table gives medians,
// the median of the per-round ratios to the reference and the processor time (user and system, of
// every thread of the process and of the child processes). The engine's peak heap is counted by
// this binary's operator new and set against what the result rows hold. With
// KELMORA_BENCH_PACKAGE_DBS naming the folder that bench/make-package-dbs.sh made, `run` also times
// the engine reading a desktop-size rpm and pacman database beside the system's own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/qt/MainFrm.h"
#include "bench/NullView.h"
#include "bench/ReferenceWalker.h"
#include "bench/ShapeCopy.h"
#include "bench/ShownWindow.h"
#include "bench/Timing.h"
#include "bench/TreeGenerator.h"
#include "bench/WalkerTable.h"
#include "platform/Platform.h"
#include "platform/posix/listing/PacmanDatabase.h"
#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/listing/RpmDatabase.h"
#include "scan/Masks.h"
#include "scan/Scan.h"

// Heap accounting for the memory figure: bytes live now and the highest since the last reset.
namespace {
std::atomic<std::size_t> liveBytes{0}, peakBytes{0};
}

void* operator new(std::size_t size) {
    void* p = std::malloc(size + 16);
    if (!p) throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = size;
    const std::size_t now = liveBytes += size;
    std::size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    char* base = static_cast<char*>(p) - 16;
    liveBytes -= *reinterpret_cast<std::size_t*>(base);
    std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using namespace kelmora;
using bench::referenceWalk;
using bench::WalkResult;

using bench::dropCaches;
using bench::have;
using bench::median;
using bench::NullView;
using bench::runFd;
using bench::runProcess;
using bench::seconds;
using bench::timeTable;
using bench::Walker;

// Folders read ahead at once, as the program's file system does by default.
const unsigned kReadAhead = platform::posix::ReadAhead::Options{}.inFlight;

struct EngineRun {
    std::size_t rows = 0;
    std::size_t rowBytes = 0;  // what the rows themselves hold
    std::size_t peakHeap = 0;  // heap in use at the worst moment of the scan, above the start
};

using platform::posix::PackageDatabase;
using platform::posix::RpmDatabase;
using Databases = std::vector<std::shared_ptr<PackageDatabase>>;

bool listable(std::string_view name) { return isListableName(NativeStringView(name)); }

// The rpm and pacman databases that bench/make-package-dbs.sh made in `folder`.
Databases generatedDatabases(const std::string& folder) {
    return {std::make_shared<RpmDatabase>(std::vector{folder + "/rpm"}),
            std::make_shared<platform::posix::PacmanDatabase>("/", folder + "/pacman")};
}

// The running system's file system, reading `more` package databases beside the system's own.
platform::posix::PosixFileSystem::Sources engineSources(bool packageDatabase, unsigned readAhead,
                                                        const Databases& more = {}) {
    auto sources = platform::posix::PosixFileSystem::systemSources(listable);
    if (!packageDatabase) sources.packageDatabases.clear();
    sources.packageDatabases.insert(sources.packageDatabases.end(), more.begin(), more.end());
    sources.readAhead.inFlight = readAhead;
    return sources;
}

// One engine scan, on a new file system unless `kept` is given: the program keeps one for all its
// scans.
EngineRun runEngine(const std::string& root, bool packageDatabase, bool print = false,
                    unsigned readAhead = kReadAhead,
                    platform::posix::PosixFileSystem* kept = nullptr) {
    std::optional<platform::posix::PosixFileSystem> fresh;
    if (!kept) fresh.emplace(engineSources(packageDatabase, readAhead));
    auto& fs = kept ? *kept : *fresh;
    NullView view;
    MainState state;
    state.Idle = 1;
    state.Masks = nativeMaskTable();
    const std::size_t base = liveBytes.load();
    peakBytes = base;
    Scan scan(state, view, fs, root, [] {});
    scan.click();
    EngineRun run;
    run.rows = state.Results.size();
    for (std::size_t i = 0; i < run.rows; ++i) {
        run.rowBytes += sizeof(ResultRow) + sizeof(ResultList::Key) +
                        state.Results[i].nameLength * sizeof(NativeChar);
        if (print)
            std::printf("%lld %s\n", static_cast<long long>(state.Results[i].size),
                        state.Results.pathOf(i).c_str());
    }
    run.peakHeap = peakBytes.load() - base;
    return run;
}

// The real main window's scan, shown on the display the process has: seconds from the click on
// cmdScan to the window's being idle with its final state on the display. `readAhead` folders
// are read ahead at once (0: none), as the program's file system does with its default of 8.
// With `handedOver`, the listings that the walk took from the read-ahead are added to it.
double runWindow(const std::string& root, std::size_t& rows, unsigned readAhead = kReadAhead,
                 bool handOver = true, std::size_t* handedOver = nullptr) {
    platform::Services services;
    auto sources = platform::posix::PosixFileSystem::systemSources(
        [](std::string_view name) { return isListableName(NativeStringView(name)); });
    sources.readAhead.inFlight = readAhead;
    sources.readAhead.handOver = handOver;
    auto fileSystem = std::make_unique<platform::posix::PosixFileSystem>(std::move(sources));
    const auto* walked = fileSystem.get();
    services.fileSystem = std::move(fileSystem);
    MainFrm window(std::move(services), root);
    if (!bench::showExposed(window)) throw std::runtime_error("the window was not shown");
    auto* scan = window.findChild<QAbstractButton*>(QStringLiteral("cmdScan"));
    const double time = bench::secondsToIdle([scan] { scan->click(); });
    rows = window.state().Results.size();
    if (handedOver) *handedOver += walked->handedOver();
    return time;
}

void runFind(const std::string& root) {
    std::vector<const char*> args = {"find", root.c_str(), "-type", "f", "("};
    const char* masks[] = {"*.---", "*.___", "*.~??", "*.bak", "*.diz",
                           "*.gid", "*.chk", "*.old", "*.syd", "*.tmp"};
    for (std::size_t i = 0; i < std::size(masks); ++i) {
        if (i) args.push_back("-o");
        args.push_back("-iname");
        args.push_back(masks[i]);
    }
    args.insert(args.end(), {")", "-printf", "%s %p\n"});
    runProcess(args);
}

int run(const std::string& root, int rounds, bool cold) {
    if (cold && !dropCaches()) {
        std::printf("cold cache: this machine does not let the benchmark drop caches\n");
        return 0;
    }
    WalkResult reference;
    EngineRun engine, engineAlone;
    std::size_t windowRows = 0;
    std::vector<Walker> walkers = {
        {"reference walker", [&] { return seconds([&] { reference = referenceWalk(root); }); }},
        {"engine", [&] { return seconds([&] { engine = runEngine(root, true); }); }},
        {"engine, no package db", [&] { return seconds([&] { runEngine(root, false); }); }},
        {"engine, no read-ahead",
         [&] { return seconds([&] { engineAlone = runEngine(root, true, false, 0); }); }},
        {"window", [&] { return runWindow(root, windowRows); }},
        {"window, no read-ahead", [&] { return runWindow(root, windowRows, 0); }},
    };
    // With the generated databases: the program's later scans (one file system kept, as the
    // program keeps it), and a first scan, on a new file system every time:
    // clicked as the program starts, while it reads the databases, or a second later, as a user
    // who has to find the scan button clicks it at the soonest.
    std::vector<std::unique_ptr<platform::posix::PosixFileSystem>> withDatabases;
    if (const char* dbs = std::getenv("KELMORA_BENCH_PACKAGE_DBS")) {
        using std::chrono::milliseconds;
        const std::pair<const char*, milliseconds> kinds[] = {
            {"engine, + rpm and pacman dbs", milliseconds(0)},
            {"engine, + dbs, first scan at start", milliseconds(0)},
            {"engine, + dbs, first scan 1 s after start", milliseconds(1000)}};
        // The same wait with the system's databases alone, to compare like with like.
        walkers.push_back({"engine, first scan 1 s after start", [&root] {
                               platform::posix::PosixFileSystem fs(engineSources(true, kReadAhead));
                               std::this_thread::sleep_for(std::chrono::seconds(1));
                               return seconds(
                                   [&] { runEngine(root, true, false, kReadAhead, &fs); });
                           }});
        for (const auto& [name, after] : kinds) {
            const bool keep = withDatabases.empty();
            withDatabases.push_back(std::make_unique<platform::posix::PosixFileSystem>(
                engineSources(true, kReadAhead, generatedDatabases(dbs))));
            auto* sources = withDatabases.back().get();
            walkers.push_back(
                {name, [&root, dbs, after = after, keep, sources] {
                     if (keep)
                         return seconds([&] { runEngine(root, true, false, kReadAhead, sources); });
                     platform::posix::PosixFileSystem fs(
                         engineSources(true, kReadAhead, generatedDatabases(dbs)));
                     std::this_thread::sleep_for(after);
                     return seconds([&] { runEngine(root, true, false, kReadAhead, &fs); });
                 }});
        }
    }
    if (have("find"))
        walkers.push_back({"GNU find", [&] { return seconds([&] { runFind(root); }); }});
    if (have("fdfind"))
        walkers.push_back({"fd, 8 threads", [&] { return seconds([&] { runFd(root); }); }});
    std::printf("%s cache, tree %s, window on %s\n", cold ? "cold" : "warm", root.c_str(),
                qPrintable(QGuiApplication::platformName()));
    timeTable(walkers, rounds, cold);
    std::printf("rows: %llu (reference), %zu (engine), %zu (window)\n",
                static_cast<unsigned long long>(reference.matches), engine.rows, windowRows);
    std::printf("engine peak heap %.2f MiB, of which rows %.2f MiB (%zu rows): %.2f MiB beyond\n",
                double(engine.peakHeap) / 1048576, double(engine.rowBytes) / 1048576, engine.rows,
                double(engine.peakHeap - std::min(engine.peakHeap, engine.rowBytes)) / 1048576);
    // The read-ahead's heap (its waiting names and listing buffers) is what the engine holds more
    // with it than without it, in the last round.
    std::printf("engine peak heap without read-ahead %.2f MiB: the read-ahead's %.2f MiB\n",
                double(engineAlone.peakHeap) / 1048576,
                (double(engine.peakHeap) - double(engineAlone.peakHeap)) / 1048576);
    return 0;
}

// Each package database read alone, as a scan reads it: the system's own and the generated ones in
// `folder`.
int packages(const std::string& folder, int rounds) {
    auto databases = platform::posix::systemPackageDatabases();
    const auto generated = generatedDatabases(folder);
    databases.insert(databases.end(), generated.begin(), generated.end());
    const std::vector<std::string> names = {"system dpkg", "system rpm", "system pacman",
                                            "generated rpm", "generated pacman"};
    for (std::size_t i = 0; i < databases.size(); ++i) {
        std::vector<double> times;
        std::size_t paths = 0;
        int read = 0;
        for (int round = 0; round <= rounds; ++round) {  // round 0 warms the caches
            paths = 0;
            const double time = seconds([&] {
                read = static_cast<int>(
                    databases[i]->read(listable, [&](std::string_view) { ++paths; }));
            });
            if (round) times.push_back(time);
        }
        std::printf("%-32s %8.1f ms  %zu paths kept (read %d)\n", names[i].c_str(),
                    median(times) * 1000, paths, read);
    }
    return 0;
}

// The window's scan with and without the read-ahead's listings handed over to the walk, against
// the bare single-threaded walker and fd with 8 threads: warm, then with cold caches.
int handOver(const std::string& root, int rounds) {
    std::size_t rows = 0, handed = 0;
    std::vector<Walker> walkers = {
        {"reference walker", [&] { return seconds([&] { referenceWalk(root); }); }},
        {"window", [&] { return runWindow(root, rows, kReadAhead, true, &handed); }},
        {"window, no hand-over", [&] { return runWindow(root, rows, kReadAhead, false); }},
    };
    if (have("fdfind"))
        walkers.push_back({"fd, 8 threads", [&] { return seconds([&] { runFd(root); }); }});
    std::printf("machine: %u cores\n", std::thread::hardware_concurrency());
    for (const bool cold : {false, true}) {
        if (cold && !dropCaches()) {
            std::printf("cold cache: this machine does not let the benchmark drop caches\n");
            return 0;
        }
        handed = 0;
        std::printf("%s cache, tree %s\n", cold ? "cold" : "warm", root.c_str());
        timeTable(walkers, rounds, cold, walkers.size() - 1);
        std::printf("listings handed over: %.0f per window scan\n",
                    double(handed) / (cold ? rounds : rounds + 1));
    }
    return 0;
}

// The window's cold scan by the number of folders read ahead at once.
int scaling(const std::string& root, int rounds) {
    if (!dropCaches()) return 0;
    std::size_t rows = 0;
    std::vector<Walker> walkers = {
        {"reference walker", [&] { return seconds([&] { referenceWalk(root); }); }}};
    for (unsigned n : {0u, 1u, 2u, 4u, 8u, 16u, 32u, 64u})
        walkers.push_back({"window, read-ahead " + std::to_string(n),
                           [&root, &rows, n] { return runWindow(root, rows, n); }});
    std::printf("cold cache, tree %s\n", root.c_str());
    timeTable(walkers, rounds, true);
    return 0;
}

// The process's peak resident memory so far, in MiB (VmHWM), or -1 where /proc does not tell.
double peakResidentMiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    double kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
    std::fclose(status);
    return kib / 1024;
}

// The window's scan of one chain of folders with 255-byte names at depths 2,500 to 20,000 (a
// file at its end): each doubling of the depth should cost about twice the time, not four times.
int depths(const std::string& dir, int rounds) {
    std::printf("| depth | window, median of %d | to the depth before |\n|---|---|---|\n", rounds);
    double before = 0;
    for (const int depth : {2500, 5000, 10000, 20000}) {
        const std::string root = dir + "/chain-" + std::to_string(depth);
        if (::access(root.c_str(), F_OK) != 0) bench::generateDeepTree(root, depth, 255, false, 1);
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            std::size_t rows = 0;
            times.push_back(runWindow(root, rows));
            if (rows != 1) throw std::runtime_error("the chain's file was not found");
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        std::printf("| %d | %.1f ms | %s |\n", depth, median * 1000,
                    before > 0 ? (std::to_string(median / before).substr(0, 4) + "x").c_str() : "");
        before = median;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc >= 5) {
        const auto stats =
            bench::generateTree(argv[2], std::stoull(argv[3]), std::stoull(argv[4]),
                                argc > 5 ? static_cast<std::uint32_t>(std::stoul(argv[5])) : 1,
                                argc > 6 ? static_cast<std::uint32_t>(std::stoul(argv[6])) : 1);
        std::printf("%llu files (%llu matching), %llu folders, %llu links\n",
                    static_cast<unsigned long long>(stats.files),
                    static_cast<unsigned long long>(stats.matching),
                    static_cast<unsigned long long>(stats.folders),
                    static_cast<unsigned long long>(stats.links));
        return 0;
    }
    if (command == "deep" && argc >= 4) {
        bench::generateDeepTree(argv[2], std::stoi(argv[3]));
        return 0;
    }
    if (command == "chain" && argc >= 6) {
        bench::generateDeepTree(argv[2], std::stoi(argv[3]), std::stoul(argv[4]), false,
                                std::stoi(argv[5]));
        return 0;
    }
    if (command == "copy-shape" && argc >= 4) {
        const auto stats = bench::copyShape(argv[2], argv[3]);
        std::printf("%llu files, %llu folders, %llu links\n",
                    static_cast<unsigned long long>(stats.files),
                    static_cast<unsigned long long>(stats.folders),
                    static_cast<unsigned long long>(stats.links));
        return 0;
    }
    if (command == "engine" && argc >= 3) {  // one engine scan alone, for profilers
        const std::string option = argc > 3 ? argv[3] : "";
        const auto result = runEngine(argv[2], option != "--no-db", option == "--print");
        std::printf("%zu rows, engine peak heap %.2f MiB\n", result.rows,
                    double(result.peakHeap) / 1048576);
        return 0;
    }
    if (command == "packages" && argc >= 3)
        return packages(argv[2], argc > 3 ? std::stoi(argv[3]) : 5);
    if (command == "window" && argc >= 3) {  // one shown window's scan alone, for profilers
        if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        std::size_t rows = 0;
        const double time = runWindow(argv[2], rows);
        std::printf("%zu rows in %.1f ms, peak resident %.1f MiB\n", rows, time * 1000,
                    peakResidentMiB());
        return 0;
    }
    if (command == "depths" && argc >= 3) {
        if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        return depths(argv[2], argc > 3 ? std::stoi(argv[3]) : 3);
    }
    if ((command == "run" || command == "cold" || command == "scaling" || command == "handover") &&
        argc >= 3) {
        // The window shows on the display the process has (bench/run.sh starts Xvfb for it);
        // without one, on the offscreen platform, which paints nothing to any screen.
        if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        const int rounds = argc > 3 ? std::stoi(argv[3]) : 5;
        if (command == "scaling") return scaling(argv[2], rounds);
        if (command == "handover") return handOver(argv[2], rounds);
        return run(argv[2], rounds, command == "cold");
    }
    std::fprintf(stderr,
                 "usage: %s generate ROOT FILES FOLDERS [SEED [MATCHING%%]] | deep ROOT LEVELS | "
                 "chain ROOT LEVELS NAME FILES | depths DIR [ROUNDS] | copy-shape FROM TO | run "
                 "ROOT [ROUNDS] | cold ROOT [ROUNDS] | scaling ROOT [ROUNDS] | handover ROOT "
                 "[ROUNDS] | engine ROOT [--no-db|--print] | packages DBS [ROUNDS] | window ROOT\n",
                 argv[0]);
    return 2;
}
