// SPDX-License-Identifier: MIT
// Weighs the ways of reading ahead of a walk on a cold cache, each added to the reference walker,
// which stays as it is on its one thread: threads that list the folders below the walk (the
// listing layer's ReadAhead, as the engine uses it) and io_uring batches of statx submitted from
// the walker's thread. fd with 8 threads is the parallel walker they are held against.
//
//   readahead_bench ROOT [ROUNDS]
#include <cstdio>
#include <string>

#include "bench/PrefetchWalkers.h"
#include "bench/Timing.h"
#include "bench/WalkerTable.h"

int main(int argc, char* argv[]) {
    using namespace kelmora::bench;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [ROUNDS]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const int rounds = argc > 2 ? std::stoi(argv[2]) : 3;
    if (!dropCaches()) {
        std::printf("cold cache: this machine does not let the benchmark drop caches\n");
        return 0;
    }
    std::printf("%s\n", uringReport(root).c_str());
    std::vector<Walker> walkers = {
        {"reference walker", [&] { return seconds([&] { referenceWalk(root); }); }}};
    for (unsigned n : {8u, 64u})
        walkers.push_back({"reference + io_uring statx, " + std::to_string(n), [&root, n] {
                               return seconds([&] { referenceWalkWithUring(root, n); });
                           }});
    for (unsigned n : {4u, 8u, 16u}) {
        kelmora::platform::posix::ReadAhead::Options options;
        options.inFlight = n;
        walkers.push_back(
            {"reference + read-ahead threads, " + std::to_string(n), [&root, options] {
                 return seconds([&] { referenceWalkWithReadAhead(root, options); });
             }});
    }
    if (have("fdfind"))
        walkers.push_back({"fd, 8 threads", [&] { return seconds([&] { runFd(root); }); }});
    std::printf("cold cache, tree %s\n", root.c_str());
    timeTable(walkers, rounds, true);
    return 0;
}
