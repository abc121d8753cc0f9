// SPDX-License-Identifier: MIT
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelmora::platform::posix {

// How one read of a package database went.
enum class DatabaseRead {
    Whole,    // the database was read to its end
    Absent,   // there is no such database here (or nothing to read it with): it owns nothing
    Damaged,  // parts could not be read: what was read was handed over, the rest owns nothing
};

// One package manager's record of the files that its installed packages own.
//
// read() hands `take` every absolute path the database records, spelled as the running system
// reaches it, whose file name (the part after the last "/") passes `keepName`; a path may come more
// than once. It asks nothing else of the paths and never throws for a missing, unreadable or
// damaged database: it says so in what it returns, having handed over what it could read. Each call
// reads the database afresh; a database may be read from one thread at a time.
class PackageDatabase {
  public:
    using NameFilter = std::function<bool(std::string_view name)>;
    using PathSink = std::function<void(std::string_view path)>;

    virtual ~PackageDatabase() = default;
    virtual DatabaseRead read(const NameFilter& keepName, const PathSink& take) = 0;
    // A token that differs whenever what read() hands over may differ (the database's files were
    // written since), so that a reader costly to read is read again only then; none where the
    // reader cannot tell, and then it is read every time.
    virtual std::optional<std::string> state() const { return std::nullopt; }
};

// What a state() token holds of one file or folder: its inode, size and last write time, which
// change whenever it is written or replaced. Not the change time: readers change it too (sqlite
// gives its log file its owner again at every close).
inline std::string stampOf(const struct stat& facts) {
    return std::to_string(facts.st_ino) + ' ' + std::to_string(facts.st_size) + ' ' +
           std::to_string(facts.st_mtim.tv_sec) + '.' + std::to_string(facts.st_mtim.tv_nsec);
}

// Appends to `state` the name and stamp of every regular file of `folder` whose name passes
// `keep`; false when the folder or one of them cannot be read.
inline bool addStamps(const std::string& folder, const std::function<bool(std::string_view)>& keep,
                      std::string& state) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
    while (const dirent* ent = readdir(dir)) {
        const std::string_view name = ent->d_name;
        if (!keep(name)) continue;
        struct stat facts;
        if (fstatat(dirfd(dir), ent->d_name, &facts, AT_SYMLINK_NOFOLLOW) != 0) return false;
        if (S_ISREG(facts.st_mode)) state.append(name).append(" ").append(stampOf(facts)) += '\n';
    }
    return true;
}

// The part of `path` after its last "/", or all of it.
inline std::string_view lastPart(std::string_view path) {
    const auto cut = path.rfind('/');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace kelmora::platform::posix
