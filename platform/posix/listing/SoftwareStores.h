// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include "platform/posix/removal/TrashFolders.h"

namespace kelmora::platform::posix {

// Where software kept by its own tools lives as whole trees of files: Flatpak's system
// installation (/var/lib/flatpak) and every account's own ($XDG_DATA_HOME/flatpak,
// ~/.local/share/flatpak), whose deployed apps and runtimes are hard links into one object store
// that every app shares, and the read-only stores of Nix (/nix/store) and Guix (/gnu/store).
// Nothing there is a user's leftover, and a file removed there breaks every program that shares
// it, so the walk never enters them. They are found by identity like the trash folders (see
// resolveTrashFolders), however their paths are spelled.
std::vector<TrashLocation> softwareStoreLocations();

}  // namespace kelmora::platform::posix
