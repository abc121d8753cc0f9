// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <string>

namespace kelmora::platform::posix {

// How far the way to the home trash may be taken on trust.
enum class HomeTrashWay {
    // Named by the environment of a user who owns the folder it names: the user's own choice, so
    // links on the way are followed and missing folders made as the user asks.
    UsersOwn,
    // Under the account's home from the password database: opened from "/" one folder at a time
    // without following links, each folder owned by the user or root and writable by no one else
    // (see openTrustedFolder), so that nobody else can reach what is put in.
    Verified,
};

// Where the effective user's home trash is: the folders `below` (separated by "/") under the
// folder `base`.
struct HomeTrashPlace {
    HomeTrashWay way = HomeTrashWay::Verified;
    std::string base;   // absolute; empty when there is no home trash
    std::string below;  // "Trash" under $XDG_DATA_HOME, ".local/share/Trash" under a home

    std::string path() const { return base.empty() ? std::string() : base + "/" + below; }
};

// The home trash by the freedesktop.org rules, with root's files kept from other users:
// - a user other than root who owns the folder the environment names ($XDG_DATA_HOME when it is
//   absolute, else $HOME; while that is not made yet, the nearest folder above it that exists)
//   gets $XDG_DATA_HOME/Trash or $HOME/.local/share/Trash, UsersOwn;
// - root, whatever the environment says, and a user who does not own what it names (as after
//   `sudo -E` or `su` without `-`, which keep another user's HOME) get .local/share/Trash under
//   `accountHome`, the home the password database records for `user`, Verified;
// - nothing (an empty base) when neither is known.
// Each text may be null; relative ones count as unknown.
HomeTrashPlace homeTrashPlace(uid_t user, const char* xdgDataHome, const char* home,
                              const char* accountHome);

// The same for the effective user, this process's environment and the password database.
HomeTrashPlace homeTrashPlace();

}  // namespace kelmora::platform::posix
