#include "platform/posix/listing/PackageFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <vector>

#include "platform/posix/shared/Facts.h"

namespace kelmora::platform::posix {
namespace {

std::string_view fileName(std::string_view path) {
    const auto cut = path.rfind('/');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// Hands every line of a file to `take`, reading it in blocks so that memory stays small whatever
// the size of the file; false when it cannot be opened or read.
template <typename Take>
bool forEachLine(const std::string& path, Take take) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string pending;
    char block[65536];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0) {
        std::string_view rest(block, static_cast<std::size_t>(n));
        for (auto cut = rest.find('\n'); cut != std::string_view::npos; cut = rest.find('\n')) {
            if (pending.empty()) {
                take(rest.substr(0, cut));
            } else {
                pending.append(rest.substr(0, cut));
                take(std::string_view(pending));
                pending.clear();
            }
            rest.remove_prefix(cut + 1);
        }
        pending.append(rest);
    }
    close(fd);
    if (!pending.empty()) take(std::string_view(pending));
    return n == 0;
}

}  // namespace

PackageFiles::PackageFiles(std::string dpkgRoot, NameFilter keepName)
    : root_(std::move(dpkgRoot)), keepName_(std::move(keepName)) {}

void PackageFiles::reset() {
    loaded_ = false;
    owned_.clear();
}

bool PackageFiles::owns(const FileIdentity& file) {
    if (!loaded_) load();
    return owned_.contains(file);
}

void PackageFiles::load() {
    loaded_ = true;
    ++loads_;
    owned_.clear();

    std::vector<std::string> recorded;
    const auto record = [&](std::string_view line) {
        if (!line.empty() && line.front() == '/' && keepName_(fileName(line)))
            recorded.emplace_back(line);
    };
    const std::string info = root_ + "/info/";
    if (DIR* dir = opendir(info.c_str())) {
        std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
        while (const dirent* ent = readdir(dir)) {
            const std::string_view name = ent->d_name;
            if (name.size() > 5 && name.ends_with(".list")) forEachLine(info + ent->d_name, record);
        }
    }

    // Diversions come in three-line records: the diverted path, where it was diverted to, and the
    // diverting package. The package that ships the diverted path has its copy at the second, often
    // under a name such as x.old or x.distrib.
    std::ifstream diversions(root_ + "/diversions");
    for (std::string from, to, by; std::getline(diversions, from) && std::getline(diversions, to) &&
                                   std::getline(diversions, by);)
        if (!to.empty() && to.front() == '/' && keepName_(fileName(to))) recorded.push_back(to);

    for (const auto& path : recorded)
        if (const auto facts = factsAt(AT_FDCWD, path.c_str())) owned_.insert(facts->id);
}

}  // namespace kelmora::platform::posix
