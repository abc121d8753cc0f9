// SPDX-License-Identifier: MIT
// Measures the two removals in the real main window, shown on a display (bench/run.sh starts Xvfb),
// against the core's removal without a window and against rm and gio trash of the same files.
//
//   window_bench remove DIR [FILES] [ROUNDS] [--refuse-every K] [--erase-only|--bin-only]
//
// Every measurement starts from a fresh tree of FILES matching files (50,000 by default) in
// FILES/50 folders below DIR/tree; the window scans it (not timed), Select all is clicked, and the
// time runs from the click on Erase or Move to bin until the window is idle with its final state
// on the display. With --refuse-every K, every K-th file is made read-only, which Erase refuses
// and keeps selected, so that the rows leave in many short runs instead of one long one. The trash
// is a private one, DIR/xdg/Trash (XDG_DATA_HOME points there), emptied after every measurement.
// Rounds are interleaved; the table gives medians and the median of the per-round ratios.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
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
#include "platform/posix/removal/PosixFileRemover.h"
#include "results/Removal.h"
#include "scan/Masks.h"

namespace {

using namespace kelmora;
using bench::median;
using bench::seconds;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Setup {
    fs::path dir;
    std::uint64_t files = 50'000;
    std::uint64_t refuseEvery = 0;  // 0: every file may go
    bool erase = true, bin = true;  // which of the two removals to time
    std::uint32_t seed = 7;
};

fs::path treeOf(const Setup& setup) { return setup.dir / "tree"; }
fs::path trashOf(const Setup& setup) { return setup.dir / "xdg" / "Trash"; }

// A fresh tree of matching files, every refuseEvery-th of them read-only.
void makeTree(const Setup& setup) {
    fs::remove_all(treeOf(setup));
    bench::generateTree(treeOf(setup).string(), setup.files,
                        std::max<std::uint64_t>(1, setup.files / 50), setup.seed, 100);
    if (setup.refuseEvery == 0) return;
    std::uint64_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(treeOf(setup)))
        if (!entry.is_symlink() && entry.is_regular_file() && ++n % setup.refuseEvery == 0)
            fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read);
}

void clearUp(const Setup& setup) {
    fs::remove_all(treeOf(setup));
    fs::remove_all(trashOf(setup));
}

std::uint64_t matchingLeft(const Setup& setup) {
    return bench::referenceWalk(treeOf(setup).string()).matches;
}

// The remover of a user whose XDG_DATA_HOME names the private trash. Run as root, as the bench
// may be, the program's own choice would be root's account home instead, which must stay untouched.
std::unique_ptr<platform::FileRemover> privateTrashRemover(const Setup& setup) {
    return std::make_unique<platform::posix::PosixFileRemover>(platform::posix::HomeTrashPlace{
        platform::posix::HomeTrashWay::UsersOwn, (setup.dir / "xdg").string(), "Trash"});
}

platform::Services realServices(const Setup& setup) {
    platform::Services services;
    services.fileSystem = platform::makeFileSystem(isListableName);
    services.remover = privateTrashRemover(setup);
    return services;
}

QAbstractButton* button(MainFrm& window, const char* name) {
    auto* found = window.findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no control ") + name);
    return found;
}

// The window scans the tree and selects every row, then the timed click.
double windowRemoval(const Setup& setup, const char* removeButton, std::size_t& rowsLeft) {
    MainFrm window(realServices(setup), treeOf(setup).string());
    if (!bench::showExposed(window)) throw std::runtime_error("the window was not shown");
    button(window, "cmdScan")->click();
    button(window, "cmdCA")->click();
    bench::settle();
    auto* remove = button(window, removeButton);
    const double time = bench::secondsToIdle([remove] { remove->click(); });
    rowsLeft = window.state().Results.size();
    return time;
}

// The core's removal of every row, with no window: a view that has every row selected.
class AllSelectedView : public bench::NullView {
  public:
    explicit AllSelectedView(std::size_t rows) : rows_(rows) {}
    void clearRows() override { rows_ = 0; }
    void appendRow(const ResultList&) override { ++rows_; }
    void removeRow(std::size_t) override { --rows_; }
    std::vector<std::size_t> selectedRows() const override {
        std::vector<std::size_t> all(rows_);
        for (std::size_t i = 0; i < rows_; ++i) all[i] = i;
        return all;
    }

  private:
    std::size_t rows_;
};

// The rows a scan of the tree lists, as the window would list them.
MainState scannedState(const Setup& setup, std::vector<NativeString>* paths = nullptr) {
    platform::Services services = realServices(setup);
    MainFrm window(std::move(services), treeOf(setup).string());
    button(window, "cmdScan")->click();
    MainState state;
    state.Idle = 1;
    state.Results = window.state().Results;
    for (std::size_t i = 0; paths && i < state.Results.size(); ++i)
        paths->push_back(state.Results.pathOf(i));
    return state;
}

double engineRemoval(const Setup& setup, bool erase, std::size_t& rowsLeft) {
    MainState state = scannedState(setup);
    AllSelectedView view(state.Results.size());
    auto remover = privateTrashRemover(setup);
    const double time = seconds([&] {
        if (erase)
            eraseSelected(state, view, remover.get());
        else
            moveSelectedToBin(state, view, remover.get());
    });
    rowsLeft = state.Results.size();
    return time;
}

// `command...` run by xargs over the files the window lists, as a whole process. With
// `writableOnly`, the read-only files are left out, as Erase leaves them.
double xargsRemoval(const Setup& setup, const std::vector<const char*>& command,
                    bool writableOnly) {
    std::vector<NativeString> paths;
    scannedState(setup, &paths);
    const fs::path list = setup.dir / "files.list";
    {
        std::ofstream out(list, std::ios::binary);
        for (const auto& path : paths) {
            struct stat st {};
            if (writableOnly && ::lstat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0)
                continue;
            out << path << '\0';
        }
    }
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stderr)) _exit(127);
        std::vector<const char*> args = {"xargs", "-0", "-a", list.c_str()};
        args.insert(args.end(), command.begin(), command.end());
        args.push_back(nullptr);
        execvp("xargs", const_cast<char* const*>(args.data()));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double time = std::chrono::duration<double>(Clock::now() - start).count();
    fs::remove(list);
    return time;
}

int remove(const Setup& setup, int rounds) {
    const bool haveGio = std::system("command -v gio >/dev/null 2>&1") == 0;
    const std::uint64_t refused = setup.refuseEvery == 0 ? 0 : setup.files / setup.refuseEvery;
    std::map<std::string, std::vector<double>> times, ratios;
    std::map<std::string, std::string> checks;
    std::map<std::string, std::string> notes;  // said beside a time, no failure
    // One measurement: a fresh tree, the work, then the files left counted and, when `expected`
    // is given, checked against what it says from the rows the work left.
    using Expected = std::function<std::uint64_t(std::size_t rowsLeft)>;
    std::map<std::string, std::uint64_t> left;  // files each left in this round
    const auto measure = [&](const std::string& name, const Expected& expected,
                             const std::function<double(std::size_t&)>& work) {
        makeTree(setup);
        std::size_t rowsLeft = 0;
        const double time = work(rowsLeft);
        left[name] = matchingLeft(setup);
        if (expected && left[name] != expected(rowsLeft))
            checks[name] = "left " + std::to_string(left[name]) + " files, expected " +
                           std::to_string(expected(rowsLeft));
        clearUp(setup);
        return time;
    };
    using Step = std::pair<std::string, std::function<double()>>;
    // A removal handler keeps a row exactly for each file it could not remove.
    const auto handler = [&](const char* name, const std::function<double(std::size_t&)>& work) {
        return Step{name, [&measure, name, work] {
                        return measure(
                            name, [](std::size_t rows) { return rows; }, work);
                    }};
    };
    std::vector<Step> erase, bin;
    if (setup.erase) {
        erase.push_back(handler(
            "Erase, engine", [&](std::size_t& rows) { return engineRemoval(setup, true, rows); }));
        erase.push_back(handler("Erase, window", [&](std::size_t& rows) {
            return windowRemoval(setup, "cmdErase1", rows);
        }));
        erase.push_back({"rm", [&] {
                             return measure(
                                 "rm", [refused](std::size_t) { return refused; },
                                 [&](std::size_t&) {
                                     return xargsRemoval(setup, {"rm", "--"}, true);
                                 });
                         }});
    }
    if (setup.bin) {
        bin.push_back(handler("Move to bin, engine", [&](std::size_t& rows) {
            return engineRemoval(setup, false, rows);
        }));
        bin.push_back(handler("Move to bin, window", [&](std::size_t& rows) {
            return windowRemoval(setup, "cmdErase2", rows);
        }));
        // gio cannot trash a file whose name leaves no room for ".trashinfo" in its record's name
        // (the tree has names up to 240 bytes); Kelmora shortens the record's name. What gio left
        // is reported beside its time, not taken as a failure of the comparison.
        if (haveGio)
            bin.push_back({"gio trash", [&] {
                               return measure("gio trash", nullptr, [&](std::size_t&) {
                                   return xargsRemoval(setup, {"gio", "trash", "--"}, false);
                               });
                           }});
    }
    for (int round = 0; round < rounds; ++round) {
        std::map<std::string, double> t;
        // Each round starts with another of the compared ways, so that none always meets the file
        // system just after the same one.
        for (auto* steps : {&erase, &bin})
            for (std::size_t i = 0; i < steps->size(); ++i) {
                const Step& step = (*steps)[(i + static_cast<std::size_t>(round)) % steps->size()];
                t[step.first] = step.second();
            }
        if (left.contains("gio trash") && left["gio trash"] != left["Move to bin, engine"])
            notes["gio trash"] = "left " + std::to_string(left["gio trash"]) +
                                 " files, the core's Move to bin " +
                                 std::to_string(left["Move to bin, engine"]);
        for (const auto& [name, value] : t) {
            times[name].push_back(value);
            const bool toBin = name.starts_with("Move") || name.starts_with("gio");
            const double base = toBin ? (haveGio ? t["gio trash"] : value) : t["rm"];
            ratios[name].push_back(value / base);
        }
    }
    std::printf(
        "%llu files in %llu folders, all selected%s\n",
        static_cast<unsigned long long>(setup.files),
        static_cast<unsigned long long>(std::max<std::uint64_t>(1, setup.files / 50)),
        refused ? (", 1 in " + std::to_string(setup.refuseEvery) + " read-only (Erase keeps it)")
                      .c_str()
                : "");
    std::printf("%-22s %12s %12s\n", "removal", "median ms", "ratio");
    for (const char* name : {"Erase, engine", "Erase, window", "rm", "Move to bin, engine",
                             "Move to bin, window", "gio trash"}) {
        if (!times.contains(name)) continue;
        const bool toBin =
            std::string(name).starts_with("Move") || name == std::string("gio trash");
        std::printf("%-22s %12.1f %9.2fx %s%s\n", name, median(times[name]) * 1000,
                    median(ratios[name]), toBin ? "gio trash" : "rm",
                    checks.contains(name)  ? ("  CHECK FAILED: " + checks[name]).c_str()
                    : notes.contains(name) ? ("  (" + notes[name] + ")").c_str()
                                           : "");
    }
    return checks.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "remove" && argc >= 3) {
        Setup setup;
        setup.dir = fs::absolute(argv[2]);
        std::vector<std::string> rest(argv + 3, argv + argc);
        int rounds = 3;
        for (std::size_t i = 0, positional = 0; i < rest.size(); ++i) {
            if (rest[i] == "--refuse-every" && i + 1 < rest.size()) {
                setup.refuseEvery = std::stoull(rest[++i]);
            } else if (rest[i] == "--erase-only") {
                setup.bin = false;
            } else if (rest[i] == "--bin-only") {
                setup.erase = false;
            } else if (positional++ == 0) {
                setup.files = std::stoull(rest[i]);
            } else {
                rounds = std::stoi(rest[i]);
            }
        }
        fs::create_directories(setup.dir);
        // The trash of this process and of gio is a private one inside DIR, on the same file
        // system as the files; GLib reads the variable once, so it is set before anything starts.
        setenv("XDG_DATA_HOME", (setup.dir / "xdg").c_str(), 1);
        if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        return remove(setup, rounds);
    }
    std::fprintf(
        stderr,
        "usage: %s remove DIR [FILES] [ROUNDS] [--refuse-every K] [--erase-only|--bin-only]\n",
        argv[0]);
    return 2;
}
