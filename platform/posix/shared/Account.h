// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <string>

namespace kelmora::platform::posix {

// An account as the password database records it.
struct Account {
    std::string name;  // empty when the database has no entry
    std::string home;  // absolute, or empty (none recorded, or a relative one)
};

// The account of `user`; empty fields where the database has none.
Account accountOf(uid_t user);

}  // namespace kelmora::platform::posix
