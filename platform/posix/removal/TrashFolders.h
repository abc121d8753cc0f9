// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/mounts/MountTable.h"
#include "platform/posix/shared/IdentitySet.h"

namespace kelmora::platform::posix {

// Where a trash folder may be: `base` as the system resolves it (it may be spelled through links,
// as a home under /home -> /var/home is), then the folders `below` it, which are looked up one by
// one without following a link.
struct TrashLocation {
    std::string base;
    std::vector<std::string> below;
};

// The freedesktop.org home trash folders the scan must never enter: the running user's
// ($XDG_DATA_HOME/Trash when that is absolute, ~/.local/share/Trash for $HOME and for the home
// that the password database records), and when running as root those of every account.
std::vector<TrashLocation> homeTrashLocations();

// The identities of the trash folders at `locations` that exist. A location whose base lies on a
// mount that `mounts` does not enter, by the mount table's text or by the mount it opens on, is
// not looked into (the walk never reaches it, and an automounter, a remote or a FUSE file system
// could make the lookup wait); neither is one whose way down crosses into such a mount or a link.
NumberSet resolveTrashFolders(const std::vector<TrashLocation>& locations, MountPolicy& mounts);

// True for the names a freedesktop.org trash folder has at the top of a mount: .Trash, .Trash-*.
bool isMountTrashName(std::string_view name);

// The freedesktop.org trash folders at the top of every mount of `mounts`' table (.Trash and
// .Trash-*), bind mounts included, by identity: the walk may reach a bind mount's top through its
// source, where it is an ordinary folder, and a trash of a mount that the walk does not enter
// (removable media) may be bind-mounted where it goes. So every mount of a local file system type
// (isLocalFileSystem) whose path is looked up by the kernel and local file systems alone (see
// MountPolicy::resolvesLocally) is looked at, entered or not, and each only once it is opened and
// found to be that mount's top; no other mount (FUSE, network, automount) is ever looked into.
NumberSet resolveMountTrashFolders(MountPolicy& mounts);

}  // namespace kelmora::platform::posix
