// SPDX-License-Identifier: MIT
#include "bench/WalkerTable.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "bench/Timing.h"

namespace kelmora::bench {

bool have(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

void runProcess(std::vector<const char*> args) {
    args.push_back(nullptr);
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        execvp(args[0], const_cast<char* const*>(args.data()));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
}

void runFd(const std::string& root) { runProcess({"fdfind", "-uu", "-j8", ".", root.c_str()}); }

bool dropCaches() {
    sync();
    FILE* control = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!control) return false;
    const bool written = std::fputs("3", control) >= 0;
    return std::fclose(control) == 0 && written;
}

namespace {

// Processor seconds, user and system, of this process's threads and of its waited-for children.
double cpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            total += double(t.tv_sec) + double(t.tv_usec) / 1e6;
    }
    return total;
}

}  // namespace

void timeTable(const std::vector<Walker>& walkers, int rounds, bool cold,
               std::optional<std::size_t> against) {
    std::map<std::string, std::vector<double>> times, ratios, ratiosAgainst, cpu;
    const std::size_t n = walkers.size();
    for (int round = 0; round < (cold ? rounds : rounds + 1); ++round) {
        std::vector<double> t(n), c(n);
        // The reference first, then the others forward in even rounds and backward in odd ones:
        // a walker meets a heap and caches that the one before it left, so each of two neighbours
        // in the table comes first as often as the other.
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = k == 0 || round % 2 == 0 ? k : n - k;
            if (cold) dropCaches();
            const double before = cpuSeconds();
            t[i] = walkers[i].run();
            c[i] = cpuSeconds() - before;
        }
        if (round == 0 && !cold) continue;
        for (std::size_t i = 0; i < n; ++i) {
            times[walkers[i].name].push_back(t[i]);
            ratios[walkers[i].name].push_back(t[i] / t[0]);
            if (against) ratiosAgainst[walkers[i].name].push_back(t[i] / t[*against]);
            cpu[walkers[i].name].push_back(c[i]);
        }
    }
    std::printf("%-32s %12s %10s %12s", "walker", "median ms", "ratio", "cpu ms");
    if (against) std::printf("   to %s", walkers[*against].name.c_str());
    std::printf("\n");
    for (const auto& walker : walkers) {
        const auto& name = walker.name;
        std::printf("%-32s %12.1f %9.2fx %12.1f", name.c_str(), median(times[name]) * 1000,
                    median(ratios[name]), median(cpu[name]) * 1000);
        if (against) std::printf("   %.2fx", median(ratiosAgainst[name]));
        std::printf("\n");
    }
}

}  // namespace kelmora::bench
