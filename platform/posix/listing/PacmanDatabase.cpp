// SPDX-License-Identifier: MIT
#include "platform/posix/listing/PacmanDatabase.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "platform/posix/listing/Lines.h"

namespace kelmora::platform::posix {

DatabaseRead PacmanDatabase::read(const NameFilter& keepName, const PathSink& take) {
    const std::string local = database_ + "/local/";
    DIR* dir = opendir(local.c_str());
    if (!dir) return DatabaseRead::Absent;
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);

    // Recorded paths are joined to the root: "usr/lib/a" is "/usr/lib/a" below "/".
    std::string path = root_;
    if (path.empty() || path.back() != '/') path.push_back('/');
    const std::size_t rootLength = path.size();
    bool inFiles = false;
    const auto line = [&](std::string_view text) {
        if (text.empty() || text.front() == '%') {  // a blank line or the next section ends it
            inFiles = text == "%FILES%";
            return;
        }
        if (!inFiles || text.front() == '/' || !keepName(lastPart(text))) return;
        path.resize(rootLength);
        path.append(text);
        take(path);
    };

    auto result = DatabaseRead::Whole;
    while (const dirent* ent = readdir(dir)) {
        // Each package is a folder; ALPM_DB_VERSION and the dot entries are not.
        if (ent->d_name[0] == '.') continue;
        struct stat facts;
        if (fstatat(dirfd(dir), ent->d_name, &facts, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(facts.st_mode))
            continue;
        inFiles = false;
        const std::string files = local + ent->d_name + "/files";
        if (!forEachLine(files, line)) result = DatabaseRead::Damaged;
    }
    return result;
}

std::optional<std::string> PacmanDatabase::state() const {
    const std::string local = database_ + "/local";
    struct stat facts;
    if (stat(local.c_str(), &facts) != 0) return std::nullopt;
    std::string state = std::to_string(facts.st_dev) + ' ' + stampOf(facts) + '\n';
    DIR* dir = opendir(local.c_str());
    if (!dir) return std::nullopt;
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
    // Each package's files list too: an upgrade may rewrite one in place, in a folder that stays.
    while (const dirent* ent = readdir(dir)) {
        if (ent->d_name[0] == '.') continue;
        const std::string files = std::string(ent->d_name) + "/files";
        state.append(files).append(" ");
        state += fstatat(dirfd(dir), files.c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0
                     ? stampOf(facts)
                     : "-";
        state += '\n';
    }
    return state;
}

}  // namespace kelmora::platform::posix
