// SPDX-License-Identifier: MIT
#include "platform/posix/listing/DpkgDatabase.h"

#include <dirent.h>
#include <fcntl.h>

#include <fstream>
#include <memory>

#include "platform/posix/listing/Lines.h"

namespace kelmora::platform::posix {

DatabaseRead DpkgDatabase::read(const NameFilter& keepName, const PathSink& take) {
    const auto record = [&](std::string_view line) {
        if (!line.empty() && line.front() == '/' && keepName(lastPart(line))) take(line);
    };
    auto result = DatabaseRead::Absent;
    const std::string info = root_ + "/info/";
    if (DIR* dir = opendir(info.c_str())) {
        std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
        result = DatabaseRead::Whole;
        while (const dirent* ent = readdir(dir)) {
            const std::string_view name = ent->d_name;
            if (name.size() > 5 && name.ends_with(".list") &&
                !forEachLine(info + ent->d_name, record))
                result = DatabaseRead::Damaged;
        }
    }

    // Diversions come in three-line records: the diverted path, where it was diverted to, and the
    // diverting package. The package that ships the diverted path has its copy at the second, often
    // under a name such as x.old or x.distrib.
    std::ifstream diversions(root_ + "/diversions");
    for (std::string from, to, by; std::getline(diversions, from) && std::getline(diversions, to) &&
                                   std::getline(diversions, by);)
        record(to);
    return result;
}

std::optional<std::string> DpkgDatabase::state() const {
    std::string state;
    for (const char* part : {"/status", "/diversions"}) {
        struct stat facts;
        state += stat((root_ + part).c_str(), &facts) == 0 ? stampOf(facts) : "-";
        state += '\n';
    }
    const auto isList = [](std::string_view name) { return name.ends_with(".list"); };
    if (!addStamps(root_ + "/info", isList, state)) return std::nullopt;
    return state;
}

}  // namespace kelmora::platform::posix
