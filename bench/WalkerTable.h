// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelmora::bench {

// One timed walker of a table: its name and its work, which returns its own time in seconds.
struct Walker {
    std::string name;
    std::function<double()> run;
};

// Times every walker, interleaved, round after round, and prints medians, the median of the
// per-round ratios to the first walker (the reference) and the processor time, user and system,
// of every thread of this process and of the child processes it waited for. The reference runs
// first in each round, the others forward in one round and backward in the next. Warm: a first
// round more only fills the caches. Cold: the caches are dropped before every walker. With
// `against`, a last column gives the median of the per-round ratios to that walker too.
void timeTable(const std::vector<Walker>& walkers, int rounds, bool cold,
               std::optional<std::size_t> against = std::nullopt);

// Empties the kernel's page, dentry and inode caches; false where this process may not.
bool dropCaches();

// True when `program` is on the PATH.
bool have(const char* program);

// Runs `args` as a whole process with its output thrown away, and waits for it.
void runProcess(std::vector<const char*> args);

// Debian's fd (fd-find), with 8 threads, every file hidden or ignored included: the parallel
// walker that the cold figures are held against.
void runFd(const std::string& root);

}  // namespace kelmora::bench
