// SPDX-License-Identifier: MIT
#include "platform/posix/listing/SoftwareStores.h"

#include <pwd.h>

#include <cstdlib>

namespace kelmora::platform::posix {
namespace {

void addHome(std::vector<TrashLocation>& out, const char* home) {
    if (home && *home == '/') out.push_back({home, {".local", "share", "flatpak"}});
}

}  // namespace

std::vector<TrashLocation> softwareStoreLocations() {
    std::vector<TrashLocation> out = {
        {"/var/lib/flatpak", {}}, {"/nix/store", {}}, {"/gnu/store", {}}};
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        out.push_back({data, {"flatpak"}});
    addHome(out, std::getenv("HOME"));
    // Every account's, whoever scans: another user's store is no more a leftover than one's own.
    setpwent();
    while (const passwd* account = getpwent()) addHome(out, account->pw_dir);
    endpwent();
    return out;
}

}  // namespace kelmora::platform::posix
