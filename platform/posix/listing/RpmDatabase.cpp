// SPDX-License-Identifier: MIT
#include "platform/posix/listing/RpmDatabase.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

namespace kelmora::platform::posix {
namespace {

// librpm's objects, only ever handled through its own functions.
struct RpmTs;
struct RpmDb;
struct RpmMatchIterator;
struct RpmHeader;
struct RpmFiles;

// The values of librpm's public interface used here (rpmtag.h, rpmdb.h, rpmfiles.h, rpmlog.h,
// rpmmacro.h), the same in every accepted version: tag numbers are part of the package format.
constexpr std::int32_t kTagBasenames = 1117;        // RPMTAG_BASENAMES
constexpr std::int32_t kIndexPackages = 0;          // RPMDBI_PACKAGES: headers by number
constexpr int kMacroLevelCommandLine = -7;          // RMIL_CMDLINE
constexpr int kLogEmergenciesOnly = 1;              // RPMLOG_MASK(RPMLOG_EMERG)
constexpr std::uint32_t kFilesNamesOnly = 0xffffe;  // every RPMFI_NOFILE* flag: names alone

// The librpm functions used, found by name in the loaded library. The signatures are those of
// librpm's headers, unchanged from rpm 4.16 to 4.20.
struct Rpm {
    int (*initCrypto)();
    void (*freeMacros)(void* context);
    int (*pushMacro)(void* context, const char* name, const char* options, const char* body,
                     int level);
    int (*popMacro)(void* context, const char* name);
    int (*logSetMask)(int mask);
    RpmTs* (*tsCreate)();
    RpmTs* (*tsFree)(RpmTs* ts);
    int (*tsOpenDB)(RpmTs* ts, int mode);
    RpmDb* (*tsGetRdb)(RpmTs* ts);
    RpmMatchIterator* (*tsInitIterator)(RpmTs* ts, std::int32_t tag, const void* key,
                                        std::size_t keyLength);
    RpmHeader* (*nextIterator)(RpmMatchIterator* mi);
    RpmMatchIterator* (*freeIterator)(RpmMatchIterator* mi);
    RpmFiles* (*filesNew)(void* pool, RpmHeader* h, std::int32_t tag, std::uint32_t flags);
    RpmFiles* (*filesFree)(RpmFiles* files);
    std::uint32_t (*filesCount)(RpmFiles* files);
    const char* (*filesName)(RpmFiles* files, int index);
    char* (*filesPath)(RpmFiles* files, int index);
};

template <typename Function>
bool find(void* library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(dlsym(library, name));
    return slot != nullptr;
}

std::unique_ptr<Rpm> bind(void* rpm) {
    auto f = std::make_unique<Rpm>();
    const bool all =
        find(rpm, "rpmInitCrypto", f->initCrypto) && find(rpm, "rpmFreeMacros", f->freeMacros) &&
        find(rpm, "rpmPushMacro", f->pushMacro) && find(rpm, "rpmPopMacro", f->popMacro) &&
        find(rpm, "rpmlogSetMask", f->logSetMask) && find(rpm, "rpmtsCreate", f->tsCreate) &&
        find(rpm, "rpmtsFree", f->tsFree) && find(rpm, "rpmtsOpenDB", f->tsOpenDB) &&
        find(rpm, "rpmtsGetRdb", f->tsGetRdb) &&
        find(rpm, "rpmtsInitIterator", f->tsInitIterator) &&
        find(rpm, "rpmdbNextIterator", f->nextIterator) &&
        find(rpm, "rpmdbFreeIterator", f->freeIterator) && find(rpm, "rpmfilesNew", f->filesNew) &&
        find(rpm, "rpmfilesFree", f->filesFree) && find(rpm, "rpmfilesFC", f->filesCount) &&
        find(rpm, "rpmfilesBN", f->filesName) && find(rpm, "rpmfilesFN", f->filesPath);
    return all ? std::move(f) : nullptr;
}

// librpm keeps its configuration and macros for the whole process, so every read holds this lock.
std::mutex& rpmLock() {
    static std::mutex lock;
    return lock;
}

// The first of `libraries` that loads with every function, or null. A library once loaded stays
// loaded for the life of the process (librpm leaves handlers behind that must not be unmapped), and
// is bound once.
const Rpm* load(const std::vector<RpmDatabase::Library>& libraries) {
    static std::map<std::string, std::unique_ptr<Rpm>> bound;
    for (const auto& library : libraries) {
        if (const auto it = bound.find(library.rpm); it != bound.end()) return it->second.get();
        // librpmio first, so that librpm finds its own (librpm names it as a dependency too).
        if (!dlopen(library.rpmio.c_str(), RTLD_NOW | RTLD_LOCAL)) continue;
        void* rpm = dlopen(library.rpm.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!rpm) continue;
        if (auto functions = bind(rpm))
            return bound.emplace(library.rpm, std::move(functions)).first->second.get();
    }
    return nullptr;
}

// One database folder, opened read-only with its folder pushed as rpm's only macro; everything is
// undone when it goes, so that the next read starts from the same state.
class OpenDatabase {
  public:
    OpenDatabase(const Rpm& rpm, const std::string& folder) : rpm_(rpm) {
        rpm_.pushMacro(nullptr, "_dbpath", nullptr, folder.c_str(), kMacroLevelCommandLine);
        ts_ = rpm_.tsCreate();
        if (ts_ && rpm_.tsOpenDB(ts_, O_RDONLY) == 0) db_ = rpm_.tsGetRdb(ts_);
    }
    ~OpenDatabase() {
        if (ts_) rpm_.tsFree(ts_);
        rpm_.popMacro(nullptr, "_dbpath");
    }
    OpenDatabase(const OpenDatabase&) = delete;
    OpenDatabase& operator=(const OpenDatabase&) = delete;

    bool opened() const { return db_ != nullptr; }

    // Hands `visit` the file list of every package.
    template <typename Visit>
    void forEachPackage(Visit visit) {
        RpmMatchIterator* mi = rpm_.tsInitIterator(ts_, kIndexPackages, nullptr, 0);
        if (!mi) return;  // an empty database has no iterator at all
        while (RpmHeader* h = rpm_.nextIterator(mi)) {
            if (RpmFiles* files = rpm_.filesNew(nullptr, h, kTagBasenames, kFilesNamesOnly)) {
                visit(files);
                rpm_.filesFree(files);
            }
        }
        rpm_.freeIterator(mi);
    }

    std::uint32_t fileCount(RpmFiles* files) { return rpm_.filesCount(files); }

    // Hands `take` the full path of file `index` of `files` when its name passes `keepName`.
    void takeFile(RpmFiles* files, int index, const PackageDatabase::NameFilter& keepName,
                  const PackageDatabase::PathSink& take) {
        const char* name = rpm_.filesName(files, index);
        if (!name || !keepName(name)) return;
        if (char* path = rpm_.filesPath(files, index)) {
            take(path);
            std::free(path);
        }
    }

  private:
    const Rpm& rpm_;
    RpmTs* ts_ = nullptr;
    RpmDb* db_ = nullptr;
};

// True when `folder` holds a database of one of rpm's formats: librpm makes a new one in a folder
// that has none, even when asked to read, and Debian's rpm ships an empty /var/lib/rpm.
bool holdsDatabase(const std::string& folder) {
    for (const char* name : {"rpmdb.sqlite", "Packages", "Packages.db"}) {  // sqlite, bdb, ndb
        struct stat facts;
        if (stat((folder + "/" + name).c_str(), &facts) == 0 && S_ISREG(facts.st_mode)) return true;
    }
    return false;
}

// Reads one opened database: every package's list, its names compared without building a path.
// rpm's index of file names would hand over only the kept names, but its sqlite backend gives it
// one entry at a time: on a database of 2,000 packages and 300,000 files it took 630 ms against
// 170 ms for the lists (see bench/README.md).
void readDatabase(OpenDatabase& db, const PackageDatabase::NameFilter& keepName,
                  const PackageDatabase::PathSink& take) {
    db.forEachPackage([&](RpmFiles* files) {
        for (std::uint32_t i = 0, n = db.fileCount(files); i < n; ++i)
            db.takeFile(files, static_cast<int>(i), keepName, take);
    });
}

}  // namespace

std::vector<std::string> RpmDatabase::systemFolders() {
    return {"/usr/lib/sysimage/rpm", "/var/lib/rpm"};
}

std::vector<RpmDatabase::Library> RpmDatabase::acceptedLibraries() {
    return {{"librpm.so.10", "librpmio.so.10"}, {"librpm.so.9", "librpmio.so.9"}};
}

std::vector<std::string> RpmDatabase::databaseFolders() const {
    // Each database once, by its full path without links, whichever of its names lead to it
    // (/var/lib/rpm is often a link): librpm takes a relative path from "/", not from here.
    std::vector<std::string> folders;
    for (const auto& folder : folders_) {
        std::unique_ptr<char, void (*)(void*)> full(realpath(folder.c_str(), nullptr), std::free);
        if (!full || !holdsDatabase(full.get())) continue;
        if (std::find(folders.begin(), folders.end(), full.get()) == folders.end())
            folders.emplace_back(full.get());
    }
    return folders;
}

std::optional<std::string> RpmDatabase::state() const {
    std::string state;
    // Readers write these too (sqlite's shared memory, bdb's environment, the lock).
    const auto written = [](std::string_view name) {
        return !name.ends_with("-shm") && !name.starts_with("__db.") && name != ".rpm.lock";
    };
    for (const auto& folder : databaseFolders()) {
        state += folder + '\n';
        if (!addStamps(folder, written, state)) return std::nullopt;
    }
    return state;
}

DatabaseRead RpmDatabase::read(const NameFilter& keepName, const PathSink& take) {
    const auto folders = databaseFolders();
    if (folders.empty()) return DatabaseRead::Absent;

    std::lock_guard<std::mutex> held(rpmLock());
    const Rpm* rpm = load(libraries_);
    if (!rpm) return DatabaseRead::Absent;
    // librpm reports a damaged database on stderr; here that is an answer, not a message.
    const int logMask = rpm->logSetMask(kLogEmergenciesOnly);
    auto result = DatabaseRead::Whole;
    // No configuration is read: rpmReadConfigFiles would load the caller's ~/.rpmrc,
    // ~/.rpmmacros, $XDG_CONFIG_HOME/rpm and $RPM_CONFIGDIR, whose %(...) and Lua run at the
    // first expansion, as root under `sudo -E`; and rpmFreeRpmrc, which frees that
    // configuration, starts rpm's Lua, which runs $RPM_CONFIGDIR/init.lua. A read-only open
    // needs neither: the database's folder is pushed below, and rpm finds its format (sqlite,
    // ndb, bdb) from the files there. Only the digests need their library set up.
    if (rpm->initCrypto() != 0) {
        result = DatabaseRead::Damaged;
    } else {
        for (const auto& folder : folders) {
            OpenDatabase db(*rpm, folder);
            if (db.opened())
                readDatabase(db, keepName, take);
            else
                result = DatabaseRead::Damaged;
        }
    }
    rpm->freeMacros(nullptr);
    rpm->logSetMask(logMask);
    return result;
}

}  // namespace kelmora::platform::posix
