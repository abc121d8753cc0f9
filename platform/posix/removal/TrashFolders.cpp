// SPDX-License-Identifier: MIT
#include "platform/posix/removal/TrashFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/posix/shared/Facts.h"
#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {
namespace {

void addHome(std::vector<TrashLocation>& out, const char* home) {
    if (home && *home == '/') out.push_back({home, {".local", "share", "Trash"}});
}

std::optional<FileIdentity> resolve(const TrashLocation& location, MountPolicy& mounts) {
    if (!mounts.mayLookInto(location.base)) return std::nullopt;
    // The base is opened with O_PATH, which triggers no automount and asks nothing of the file
    // system it lies on, and looked at before anything below it: its mount must be one the walk
    // enters.
    UniqueFd at(openat(AT_FDCWD, location.base.c_str(), O_PATH | O_CLOEXEC));
    auto here = at.get() >= 0 ? factsOf(at.get(), Witness::Skip) : std::nullopt;
    if (!here || !here->isFolder() || here->automount ||
        !mounts.mayLook(here->mountId, here->major, here->minor))
        return std::nullopt;
    for (const auto& name : location.below) {
        const auto next = factsAt(at.get(), name.c_str(), Witness::Skip);
        if (!next || !next->isFolder() || next->automount ||
            (!sameMount(*next, *here) && !mounts.mayLook(next->mountId, next->major, next->minor)))
            return std::nullopt;
        at.reset(openat(at.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        here = at.get() >= 0 ? factsOf(at.get(), Witness::Skip) : std::nullopt;
        if (!here || !here->id.sameNumber(next->id)) return std::nullopt;
    }
    return here->id;
}

}  // namespace

bool isMountTrashName(std::string_view name) {
    return name == ".Trash" || name.starts_with(".Trash-");
}

namespace {

// Adds to `found` the trash folders at the top of `mount`.
void addMountTrashFolders(const Mount& mount, NumberSet& found) {
    // The path is the table's; whatever it reaches now must be that mount's top.
    UniqueFd top(open(mount.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const auto facts = top ? factsOf(top.get(), Witness::Skip) : std::nullopt;
    if (!facts || !facts->mountId || *facts->mountId != mount.id ||
        (facts->mountRootKnown && !facts->mountRoot))
        return;
    const int listing = openat(top.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!folder) {
        if (listing >= 0) close(listing);
        return;
    }
    while (const dirent* entry = readdir(folder)) {
        if (!isMountTrashName(entry->d_name)) continue;
        const auto trash = factsAt(dirfd(folder), entry->d_name, Witness::Skip);
        if (trash && trash->isFolder() && sameMount(*trash, *facts)) found.insert(trash->id);
    }
    closedir(folder);
}

}  // namespace

std::vector<TrashLocation> homeTrashLocations() {
    std::vector<TrashLocation> out;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        out.push_back({data, {"Trash"}});
    addHome(out, std::getenv("HOME"));
    if (const passwd* own = getpwuid(geteuid())) addHome(out, own->pw_dir);
    if (geteuid() == 0) {
        setpwent();
        while (const passwd* account = getpwent()) addHome(out, account->pw_dir);
        endpwent();
    }
    return out;
}

NumberSet resolveTrashFolders(const std::vector<TrashLocation>& locations, MountPolicy& mounts) {
    NumberSet found;
    for (const auto& location : locations)
        if (const auto id = resolve(location, mounts)) found.insert(*id);
    return found;
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform::posix {

NumberSet resolveMountTrashFolders(MountPolicy& mounts) {
    NumberSet found;
    const std::vector<Mount> table = mounts.table();  // looking may make the policy read it again
    // Every local mount, entered or not (removable media, the desktop's mounts): the trash at the
    // top of one the walk leaves alone can be bind-mounted where the walk goes. Its type keeps
    // FUSE, network and automount points out, and resolvesLocally every mount they could hide.
    for (const auto& mount : table)
        if (isLocalFileSystem(mount.type) && mounts.resolvesLocally(mount))
            addMountTrashFolders(mount, found);
    return found;
}

}  // namespace kelmora::platform::posix
