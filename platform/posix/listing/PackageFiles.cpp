// SPDX-License-Identifier: MIT
#include "platform/posix/listing/PackageFiles.h"

#include <fcntl.h>

#include "platform/posix/listing/DpkgDatabase.h"
#include "platform/posix/listing/PacmanDatabase.h"
#include "platform/posix/listing/RpmDatabase.h"
#include "platform/posix/shared/Facts.h"

namespace kelmora::platform::posix {

PackageFiles::PackageFiles(Databases databases, NameFilter keepName)
    : databases_(std::move(databases)), kept_(databases_.size()), keepName_(std::move(keepName)) {
    // No thread where there is nothing to read.
    if (!databases_.empty())
        readAhead_ = std::async(std::launch::async, [this] { readChanged(false); });
}

PackageFiles::~PackageFiles() {
    if (readAhead_.valid()) readAhead_.wait();
}

void PackageFiles::reset() {
    loaded_ = false;
    owned_.clear();
}

bool PackageFiles::owns(const FileIdentity& file) {
    if (!loaded_) load();
    return owned_.contains(file);
}

namespace {

// A missing token (a database that could not be stamped, or that was not read whole) matches
// nothing, not even another missing one: such a database is read again every time.
bool sameState(const std::optional<std::string>& now, const std::optional<std::string>& then) {
    return now && then && *now == *then;
}

}  // namespace

void PackageFiles::readChanged(bool forScan) {
    for (std::size_t i = 0; i < databases_.size(); ++i) {
        auto& kept = kept_[i];
        auto state = databases_[i]->state();
        const bool unchanged = sameState(state, kept.state);
        // What the read ahead of the first scan found stands for that scan, unless it changed.
        const bool justRead = forScan && kept.fresh && unchanged;
        if (!unchanged && !justRead) {
            kept.paths.clear();
            const auto read = databases_[i]->read(
                keepName_, [&](std::string_view recorded) { kept.paths.emplace_back(recorded); });
            kept.state = read == DatabaseRead::Whole ? std::move(state) : std::nullopt;
        }
        kept.fresh = !forScan;
    }
}

void PackageFiles::load() {
    loaded_ = true;
    ++loads_;
    owned_.clear();
    if (readAhead_.valid()) readAhead_.get();
    readChanged(true);
    // Resolved at each load: a recorded path may now reach another file than it did.
    for (const auto& kept : kept_)
        for (const auto& path : kept.paths)
            if (const auto facts = factsAt(AT_FDCWD, path.c_str())) owned_.insert(facts->id);
}

PackageFiles::Databases systemPackageDatabases() {
    return {std::make_shared<DpkgDatabase>("/var/lib/dpkg"),
            std::make_shared<RpmDatabase>(RpmDatabase::systemFolders()),
            std::make_shared<PacmanDatabase>("/", "/var/lib/pacman")};
}

}  // namespace kelmora::platform::posix
