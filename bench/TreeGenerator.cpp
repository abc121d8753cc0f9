// SPDX-License-Identifier: MIT
#include "bench/TreeGenerator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace kelmora::bench {
namespace {

const char* const kMatchingExtensions[] = {".tmp", ".TMP", ".Bak", ".old", ".chk", ".~ab",
                                           ".---", ".___", ".diz", ".GID", ".syd"};
const char* const kOtherExtensions[] = {".txt",  ".c",    ".h",    ".png", ".so",
                                        ".json", ".tmpl", ".bak2", ".py",  ""};

std::string longName(std::mt19937& random) {
    std::string name(180 + random() % 60, 'x');
    for (auto& c : name) c = static_cast<char>('a' + random() % 26);
    return name;
}

}  // namespace

TreeStats generateTree(const std::string& root, std::uint64_t files, std::uint64_t folders,
                       std::uint32_t seed, std::uint32_t matchingPercent) {
    std::mt19937 random(seed);
    TreeStats stats;
    if (mkdir(root.c_str(), 0755) != 0) throw std::runtime_error("cannot create " + root);

    // Folders: each new folder goes below a random earlier one whose depth is under 12, so the tree
    // is broad near the top and reaches the full depth on some branches.
    std::vector<std::pair<std::string, int>> all{{root, 0}};
    while (stats.folders < folders) {
        const auto& parent = all[random() % all.size()];
        if (parent.second >= 12) continue;
        std::string name = random() % 40 == 0 ? ".d" : "d";
        name += std::to_string(stats.folders);
        if (random() % 500 == 0) name += longName(random).substr(0, 60);
        std::string path = parent.first + "/" + name;
        if (mkdir(path.c_str(), 0755) != 0) throw std::runtime_error("cannot create " + path);
        all.emplace_back(std::move(path), parent.second + 1);
        ++stats.folders;
        if (random() % 200 == 0) {  // a link back up the tree: a walk that follows it never ends
            const std::string link = all.back().first + "/up";
            if (symlink(root.c_str(), link.c_str()) == 0) ++stats.links;
        }
    }

    for (std::uint64_t i = 0; i < files; ++i) {
        const auto& folder = all[random() % all.size()].first;
        const bool matching = random() % 100 < matchingPercent;
        std::string name = std::to_string(i);
        name.insert(name.begin(), 'f');
        if (random() % 300 == 0) name += longName(random);
        name += matching ? kMatchingExtensions[random() % std::size(kMatchingExtensions)]
                         : kOtherExtensions[random() % std::size(kOtherExtensions)];
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0644);
        if (fd < 0) throw std::runtime_error("cannot create " + path);
        if (matching && ftruncate(fd, static_cast<off_t>(random() % 100000)) != 0)
            throw std::runtime_error("cannot size " + path);
        close(fd);
        ++stats.files;
        stats.matching += matching;
    }
    return stats;
}

void generateDeepTree(const std::string& root, int levels, std::size_t nameLength, bool siblings,
                      int files) {
    if (::mkdir(root.c_str(), 0755) != 0) throw std::runtime_error("cannot create " + root);
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string path(nameLength, 'b');
    for (int level = 0; level < levels && fd >= 0; ++level) {
        for (const char c : {'a', 'b', 'c'})
            if ((c == 'b' || siblings) &&
                ::mkdirat(fd, std::string(nameLength, c).c_str(), 0755) != 0)
                throw std::runtime_error("cannot create a folder at level " +
                                         std::to_string(level));
        const int next = ::openat(fd, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0) throw std::runtime_error("cannot open a folder of the deep tree");
    for (int i = 0; i < files; ++i) {
        std::string name = "bottom.tmp";
        if (files > 1) name = std::string("f").append(std::to_string(i)).append(".tmp");
        ::close(::openat(fd, name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    }
    ::close(fd);
}

}  // namespace kelmora::bench
