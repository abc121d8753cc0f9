// Measures the scan against a minimal reference walker on a generated tree.
//
//   scan_bench generate ROOT FILES FOLDERS [SEED [MATCHING%]]   build a deterministic tree
//   scan_bench deep ROOT LEVELS                     build a tree LEVELS deep of 255-byte names
//   scan_bench run ROOT [ROUNDS]                    time every walker, interleaved, warm cache
//   scan_bench cold ROOT [ROUNDS]                   the same, each walker from empty caches
//   scan_bench engine ROOT [--no-db|--print]        one engine scan alone, for profilers
//   scan_bench window ROOT                          one shown window's scan alone, for profilers
//
// Each round runs the reference walker, the scan engine without a window (with and without the
// package database), the real main window shown on the display the process has (bench/run.sh
// starts Xvfb; without a display, the offscreen platform) from the click on cmdScan until it is
// idle with its final state on the display, and GNU find with the ten masks when it is installed;
// the table gives medians and the median of the per-round ratios to the reference. The engine's
// peak heap is counted by this binary's operator new and set against what the result rows hold.
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
#include <stdexcept>
#include <string>
#include <vector>

#include "app/qt/MainFrm.h"
#include "bench/NullView.h"
#include "bench/ReferenceWalker.h"
#include "bench/ShownWindow.h"
#include "bench/Timing.h"
#include "bench/TreeGenerator.h"
#include "platform/Platform.h"
#include "platform/posix/listing/PosixFileSystem.h"
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

using bench::median;
using bench::NullView;
using bench::seconds;

struct EngineRun {
    std::size_t rows = 0;
    std::size_t rowBytes = 0;  // what the rows themselves hold
    std::size_t peakHeap = 0;  // heap in use at the worst moment of the scan, above the start
};

EngineRun runEngine(const std::string& root, bool packageDatabase, bool print = false) {
    auto sources = platform::posix::PosixFileSystem::systemSources(
        [](std::string_view name) { return isListableName(NativeStringView(name)); });
    if (!packageDatabase) sources.dpkgRoot.clear();
    platform::posix::PosixFileSystem fs(std::move(sources));
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
        run.rowBytes += sizeof(ResultRow) + state.Results[i].path.capacity() + 1;
        if (print)
            std::printf("%lld %s\n", static_cast<long long>(state.Results[i].size),
                        state.Results[i].path.c_str());
    }
    run.peakHeap = peakBytes.load() - base;
    return run;
}

// The real main window's scan, shown on the display the process has: seconds from the click on
// cmdScan to the window's being idle with its final state on the display.
double runWindow(const std::string& root, std::size_t& rows) {
    platform::Services services;
    services.fileSystem = platform::makeFileSystem(isListableName);
    MainFrm window(std::move(services), root);
    if (!bench::showExposed(window)) throw std::runtime_error("the window was not shown");
    auto* scan = window.findChild<QAbstractButton*>(QStringLiteral("cmdScan"));
    const double time = bench::secondsToIdle([scan] { scan->click(); });
    rows = window.state().Results.size();
    return time;
}

bool haveFind() { return std::system("command -v find >/dev/null 2>&1") == 0; }

void runFind(const std::string& root) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        std::vector<const char*> args = {"find", root.c_str(), "-type", "f", "("};
        const char* masks[] = {"*.---", "*.___", "*.~??", "*.bak", "*.diz",
                               "*.gid", "*.chk", "*.old", "*.syd", "*.tmp"};
        for (std::size_t i = 0; i < std::size(masks); ++i) {
            if (i) args.push_back("-o");
            args.push_back("-iname");
            args.push_back(masks[i]);
        }
        args.insert(args.end(), {")", "-printf", "%s %p\n", nullptr});
        execvp("find", const_cast<char* const*>(args.data()));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
}

// Empties the kernel's page, dentry and inode caches; false where this process may not.
bool dropCaches() {
    sync();
    FILE* control = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!control) return false;
    const bool written = std::fputs("3", control) >= 0;
    return std::fclose(control) == 0 && written;
}

int run(const std::string& root, int rounds, bool cold) {
    if (cold && !dropCaches()) {
        std::printf("cold cache: this machine does not let the benchmark drop caches\n");
        return 0;
    }
    const bool find = haveFind();
    std::map<std::string, std::vector<double>> times, ratios;
    WalkResult reference;
    EngineRun engine;
    std::size_t windowRows = 0;
    // Warm: the first round only fills the cache. Cold: every walker starts from empty caches.
    const auto timed = [cold](const std::function<void()>& work) {
        if (cold) dropCaches();
        return seconds(work);
    };
    for (int round = 0; round < rounds + 1; ++round) {
        std::map<std::string, double> t;
        t["reference walker"] = timed([&] { reference = referenceWalk(root); });
        t["engine"] = timed([&] { engine = runEngine(root, true); });
        t["engine, no package db"] = timed([&] { runEngine(root, false); });
        if (cold) dropCaches();
        t["window"] = runWindow(root, windowRows);
        if (find) t["GNU find"] = timed([&] { runFind(root); });
        if (round == 0 && !cold) continue;
        for (const auto& [name, value] : t) {
            times[name].push_back(value);
            ratios[name].push_back(value / t["reference walker"]);
        }
    }
    std::printf(
        "%s cache, tree %s: %llu matching files (reference), %zu rows (engine), %zu rows "
        "(window on %s)\n",
        cold ? "cold" : "warm", root.c_str(), static_cast<unsigned long long>(reference.matches),
        engine.rows, windowRows, qPrintable(QGuiApplication::platformName()));
    std::printf("%-24s %12s %10s\n", "walker", "median ms", "ratio");
    for (const char* name :
         {"reference walker", "engine", "engine, no package db", "window", "GNU find"}) {
        if (!times.contains(name)) continue;
        std::printf("%-24s %12.1f %9.2fx\n", name, median(times[name]) * 1000,
                    median(ratios[name]));
    }
    std::printf("engine peak heap %.2f MiB, of which rows %.2f MiB (%zu rows): %.2f MiB beyond\n",
                double(engine.peakHeap) / 1048576, double(engine.rowBytes) / 1048576, engine.rows,
                double(engine.peakHeap - std::min(engine.peakHeap, engine.rowBytes)) / 1048576);
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
    if (command == "engine" && argc >= 3) {  // one engine scan alone, for profilers
        const std::string option = argc > 3 ? argv[3] : "";
        const auto result = runEngine(argv[2], option != "--no-db", option == "--print");
        std::printf("%zu rows, engine peak heap %.2f MiB\n", result.rows,
                    double(result.peakHeap) / 1048576);
        return 0;
    }
    if (command == "window" && argc >= 3) {  // one shown window's scan alone, for profilers
        if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        std::size_t rows = 0;
        const double time = runWindow(argv[2], rows);
        std::printf("%zu rows in %.1f ms\n", rows, time * 1000);
        return 0;
    }
    if ((command == "run" || command == "cold") && argc >= 3) {
        // The window shows on the display the process has (bench/run.sh starts Xvfb for it);
        // without one, on the offscreen platform, which paints nothing to any screen.
        if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        return run(argv[2], argc > 3 ? std::stoi(argv[3]) : 5, command == "cold");
    }
    std::fprintf(
        stderr,
        "usage: %s generate ROOT FILES FOLDERS [SEED [MATCHING%%]] | deep ROOT LEVELS | run ROOT "
        "[ROUNDS] | cold ROOT [ROUNDS] | engine ROOT [--no-db|--print] | window ROOT\n",
        argv[0]);
    return 2;
}
