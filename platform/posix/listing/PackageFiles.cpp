#include "platform/posix/listing/PackageFiles.h"

#include <fcntl.h>

#include "platform/posix/listing/DpkgDatabase.h"
#include "platform/posix/listing/PacmanDatabase.h"
#include "platform/posix/listing/RpmDatabase.h"
#include "platform/posix/shared/Facts.h"

namespace kelmora::platform::posix {

PackageFiles::PackageFiles(Databases databases, NameFilter keepName)
    : databases_(std::move(databases)), keepName_(std::move(keepName)) {}

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
    std::string path;  // each recorded path, given its terminating zero
    for (const auto& database : databases_)
        database->read(keepName_, [&](std::string_view recorded) {
            path.assign(recorded);
            if (const auto facts = factsAt(AT_FDCWD, path.c_str())) owned_.insert(facts->id);
        });
}

PackageFiles::Databases systemPackageDatabases() {
    return {std::make_shared<DpkgDatabase>("/var/lib/dpkg"),
            std::make_shared<RpmDatabase>(RpmDatabase::systemFolders()),
            std::make_shared<PacmanDatabase>("/", "/var/lib/pacman")};
}

}  // namespace kelmora::platform::posix
