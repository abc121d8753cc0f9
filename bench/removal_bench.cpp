// SPDX-License-Identifier: MIT
// Measures the removal layer (PosixFileRemover, no window) against the system's own tools on the
// same files.
//
//   removal_bench run DIR [ROUNDS]
//   removal_bench names DIR [ROUNDS]
//
// DIR must be an empty or missing folder on a disk (not tmpfs), on the same file system as the
// trash it makes there. Each round builds fresh files (untimed, flushed with sync) and times, in
// alternating order:
//   - erase, 50,000 files in 500 folders of 100: deleteFile on each, last row first as the window
//     does, against GNU rm given the same paths in the same order (as few processes as the
//     argument limit allows);
//   - erase, 50,000 files in 10,000 folders of 5: the same, rows spread as a whole-disk scan
//     finds them;
//   - move to bin, 2,000 files in 20 folders of 100, on the home trash's mount: moveToTrash on
//     each against `gio trash` given the same paths, both into a home trash under DIR;
//   - move to bin, 10,000 files of one name (config.bak), one in each of 10,000 folders of one
//     tree, against 10,000 files of as many names in the same tree: what taking a free name costs
//     when the trash already holds thousands of that name (`names` runs this one alone).
// Each line gives the medians and the median of the per-round ratios.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/Timing.h"
#include "platform/FileIdentity.h"
#include "platform/posix/removal/PosixFileRemover.h"
#include "platform/posix/shared/StatIdentity.h"

namespace {

namespace fs = std::filesystem;
using kelmora::bench::median;
using kelmora::platform::FileIdentity;
using kelmora::platform::ListedFile;
using kelmora::platform::RemoveOutcome;
using kelmora::platform::posix::identityAt;
using kelmora::platform::posix::identityOfFd;
using kelmora::platform::posix::PosixFileRemover;
using Clock = std::chrono::steady_clock;

struct Layout {
    const char* name;
    int folders;
    int filesPerFolder;
    const char* sameName = nullptr;  // every file's name, else leftoverN.tmp
    bool numberedInTree = false;     // N counts the files of the tree, not of each folder
};

// Makes the layout's folders and files below `root` (1 KiB each, so that removal frees data)
// and lists them as a scan would, in folder order.
std::vector<ListedFile> build(const std::string& root, const Layout& layout) {
    std::vector<ListedFile> listed;
    listed.reserve(static_cast<std::size_t>(layout.folders * layout.filesPerFolder));
    const std::string data(1024, 'x');
    for (int f = 0; f < layout.folders; ++f) {
        const std::string folder =
            root + "/g" + std::to_string(f / 100) + "/sub/f" + std::to_string(f % 100);
        fs::create_directories(folder);
        const auto folderId = identityAt(AT_FDCWD, folder.c_str()).value_or(FileIdentity{});
        for (int i = 0; i < layout.filesPerFolder; ++i) {
            const std::string path =
                folder + "/" +
                (layout.sameName
                     ? std::string(layout.sameName)
                     : "leftover" +
                           std::to_string(layout.numberedInTree ? f * layout.filesPerFolder + i
                                                                : i) +
                           ".tmp");
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::write(fd, data.data(), data.size()) < 0) std::perror(path.c_str());
            const auto id = identityOfFd(fd).value_or(FileIdentity{});
            ::close(fd);
            listed.push_back({path, id, folderId});
        }
    }
    ::sync();
    return listed;
}

// Runs `program` with `fixed` arguments followed by all of `paths` in the order the remover
// visits them (last first, so both sides put the same load on the file system), in as many runs
// as the argument limit needs; the seconds taken.
double runTool(const std::vector<std::string>& fixed, const std::vector<ListedFile>& paths,
               const std::vector<std::string>& environment = {}) {
    const auto budget = static_cast<std::size_t>(::sysconf(_SC_ARG_MAX) / 2);
    std::vector<std::vector<const char*>> runs;
    std::size_t used = budget;
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
        const ListedFile& file = *it;
        if (used + file.path.size() + 1 + sizeof(char*) > budget) {
            runs.emplace_back();
            for (const auto& arg : fixed) runs.back().push_back(arg.c_str());
            used = 0;
        }
        runs.back().push_back(file.path.c_str());
        used += file.path.size() + 1 + sizeof(char*);
    }
    const auto start = Clock::now();
    for (auto& argv : runs) {
        argv.push_back(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            for (const auto& assignment : environment)
                ::putenv(const_cast<char*>(assignment.c_str()));
            ::execvp(argv[0], const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::fprintf(stderr, "%s failed\n", argv[0]);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Hands every file to `remove`, last first; the seconds taken. Counts what was not removed.
double runRemover(const std::vector<ListedFile>& files,
                  const std::function<RemoveOutcome(const ListedFile&)>& remove,
                  PosixFileRemover& remover) {
    int failed = 0;
    const auto start = Clock::now();
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        if (remove(*it) != RemoveOutcome::Removed) ++failed;
    remover.finishBatch();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (failed) std::fprintf(stderr, "%d files not removed\n", failed);
    return seconds;
}

std::size_t countIn(const std::string& folder) {
    std::error_code ignored;
    std::size_t n = 0;
    for (auto it = fs::directory_iterator(folder, ignored); it != fs::directory_iterator();
         it.increment(ignored))
        ++n;
    return n;
}

void report(const char* what, const char* tool, const std::vector<double>& ours,
            const std::vector<double>& theirs) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size(); ++i) ratios.push_back(ours[i] / theirs[i]);
    std::printf("%-36s kelmora %8.1f ms   %-10s %8.1f ms   ratio %.2fx\n", what, median(ours) * 1e3,
                tool, median(theirs) * 1e3, median(ratios));
    std::fflush(stdout);
}

// Moves 10,000 files of one name to the bin against 10,000 of distinct names, from one tree into
// the home trash on its mount, emptied after each round.
void sameNames(const std::string& dir, int rounds) {
    fs::create_directories(dir);
    const std::string data = dir + "/data";
    PosixFileRemover remover(data + "/Trash");
    const auto bin = [&](const ListedFile& f) { return remover.moveToTrash(f).outcome; };
    const Layout same{"move 10,000 files of one name to bin", 10'000, 1, "config.bak"};
    const Layout distinct{"", 10'000, 1, nullptr, true};
    std::vector<double> ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        const auto sameFiles = build(dir + "/same", same);
        const auto distinctFiles = build(dir + "/distinct", distinct);
        const auto turn = [&](const std::vector<ListedFile>& files, std::vector<double>& into) {
            into.push_back(runRemover(files, bin, remover));
            if (const std::size_t n = countIn(data + "/Trash/files"); n != files.size())
                std::fprintf(stderr, "%zu files in the trash, not %zu\n", n, files.size());
            fs::remove_all(data + "/Trash");
            ::sync();
        };
        if (round % 2 == 0) {
            turn(sameFiles, ours);
            turn(distinctFiles, theirs);
        } else {
            turn(distinctFiles, theirs);
            turn(sameFiles, ours);
        }
        fs::remove_all(dir + "/same");
        fs::remove_all(dir + "/distinct");
    }
    fs::remove_all(data);
    report(same.name, "distinct", ours, theirs);
}

int run(const std::string& dir, int rounds) {
    fs::create_directories(dir);
    const std::string data = dir + "/data", home = dir + "/home";
    fs::create_directories(home);
    PosixFileRemover remover(data + "/Trash");
    const auto erase = [&](const ListedFile& f) { return remover.deleteFile(f).outcome; };
    const auto bin = [&](const ListedFile& f) { return remover.moveToTrash(f).outcome; };

    for (const Layout layout : {Layout{"erase 50,000 files, 100 per folder", 500, 100},
                                Layout{"erase 50,000 files, 5 per folder", 10'000, 5}}) {
        std::vector<double> ours, theirs;
        for (int round = 0; round < rounds; ++round) {
            const auto ourFiles = build(dir + "/ours", layout);
            const auto theirFiles = build(dir + "/theirs", layout);
            if (round % 2 == 0) {
                ours.push_back(runRemover(ourFiles, erase, remover));
                theirs.push_back(runTool({"rm", "-f", "--"}, theirFiles));
            } else {
                theirs.push_back(runTool({"rm", "-f", "--"}, theirFiles));
                ours.push_back(runRemover(ourFiles, erase, remover));
            }
            fs::remove_all(dir + "/ours");
            fs::remove_all(dir + "/theirs");
        }
        report(layout.name, "rm", ours, theirs);
    }

    const Layout binLayout{"move 2,000 files to the bin", 20, 100};
    const std::vector<std::string> gioEnvironment = {"XDG_DATA_HOME=" + data, "HOME=" + home,
                                                     "GIO_USE_VFS=local"};
    std::vector<double> ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        const auto ourFiles = build(dir + "/ours", binLayout);
        const auto theirFiles = build(dir + "/theirs", binLayout);
        const auto ourTurn = [&] { ours.push_back(runRemover(ourFiles, bin, remover)); };
        const auto theirTurn = [&] {
            theirs.push_back(runTool({"gio", "trash", "--"}, theirFiles, gioEnvironment));
        };
        if (round % 2 == 0) {
            ourTurn();
            theirTurn();
        } else {
            theirTurn();
            ourTurn();
        }
        // Both went into the same home trash: 4,000 files, or something went elsewhere.
        if (const std::size_t n = countIn(data + "/Trash/files"); n != 2 * ourFiles.size())
            std::fprintf(stderr, "%zu files in the trash, not %zu\n", n, 2 * ourFiles.size());
        fs::remove_all(data + "/Trash");
        fs::remove_all(dir + "/ours");
        fs::remove_all(dir + "/theirs");
    }
    report(binLayout.name, "gio trash", ours, theirs);
    sameNames(dir + "/names", rounds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode != "run" && mode != "names") {
        std::fprintf(stderr, "usage: %s run|names DIR [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (mode == "names") {
        sameNames(argv[2], rounds);
        return 0;
    }
    return run(argv[2], rounds);
}
