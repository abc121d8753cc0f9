// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "platform/posix/listing/PackageDatabase.h"

namespace kelmora::platform::posix {

// The files that installed rpm packages own (Fedora, RHEL and its rebuilds, openSUSE), read from
// rpm's database through librpm. The program does not link librpm: it loads it when a database
// folder exists, so that a system without rpm needs none. rpm records absolute paths as the running
// system spells them.
//
// Accepted libraries: librpm.so.10 with librpmio.so.10 (rpm 4.19 and later), else librpm.so.9 with
// librpmio.so.9 (rpm 4.16 to 4.18). Older ones (librpm.so.8, rpm 4.14: RHEL 8, openSUSE Leap 15)
// are not loaded, and their databases own nothing here.
//
// No rpm configuration is read, neither the system's nor the caller's: nothing that a user wrote
// (~/.rpmmacros, $XDG_CONFIG_HOME/rpm, $RPM_CONFIGDIR) runs when root reads the database.
class RpmDatabase : public PackageDatabase {
  public:
    // One librpm to try: the library's file name and that of its librpmio.
    struct Library {
        std::string rpm;
        std::string rpmio;
    };
    // Where rpm keeps its database on the running system: /usr/lib/sysimage/rpm (rpm 4.16 and
    // later, and openSUSE), /var/lib/rpm (before, and where the other is a link to it).
    static std::vector<std::string> systemFolders();
    // The libraries tried, first found first used.
    static std::vector<Library> acceptedLibraries();

    // Reads the databases in `folders`, each folder once however many of its names are given.
    explicit RpmDatabase(std::vector<std::string> folders,
                         std::vector<Library> libraries = acceptedLibraries())
        : folders_(std::move(folders)), libraries_(std::move(libraries)) {}

    // Absent when none of the folders holds a database or no accepted librpm could be loaded;
    // Damaged when a database could not be opened or read whole. Nothing is ever written.
    DatabaseRead read(const NameFilter& keepName, const PathSink& take) override;
    // Each database file's inode, size and modification time: rpm writes them at every change.
    std::optional<std::string> state() const override;

  private:
    // The folders to read, each database once.
    std::vector<std::string> databaseFolders() const;

    std::vector<std::string> folders_;
    std::vector<Library> libraries_;
};

}  // namespace kelmora::platform::posix
