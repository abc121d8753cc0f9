// SPDX-License-Identifier: MIT
// The package databases of dpkg, pacman and rpm, made at test time, seen through the scan.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>

#include "platform/Platform.h"
#include "platform/posix/listing/DpkgDatabase.h"
#include "platform/posix/listing/PackageFiles.h"
#include "platform/posix/listing/PacmanDatabase.h"
#include "platform/posix/listing/PosixFileSystem.h"
#include "platform/posix/listing/RpmDatabase.h"
#include "platform/posix/removal/HomeTrash.h"
#include "scan/Masks.h"
#include "tests/support/FileText.h"
#include "tests/support/ScanTree.h"
#include "tests/support/TempTree.h"
#include "tests/support/posix/ScratchMounts.h"

namespace kelmora::platform::posix {
namespace {

namespace fs = std::filesystem;
using ::testing::UnorderedElementsAreArray;
using Database = std::shared_ptr<PackageDatabase>;

bool listable(std::string_view name) { return isListableName(NativeStringView(name)); }

bool rpmAvailable() {
    return std::system("command -v rpmbuild >/dev/null") == 0 &&
           (dlopen("librpm.so.10", RTLD_LAZY) || dlopen("librpm.so.9", RTLD_LAZY));
}

// Builds two packages `name` and `name`-two that hold `files` between them and records them, files
// untouched, in the rpm database at `db`, made if missing; false when rpm could not.
bool makeRpmDatabase(const test::TempTree& top, const std::vector<std::string>& files,
                     const std::string& db, const std::string& name = "nss") {
    std::string spec =
        "Name: " + name +
        "\nVersion: 3\nRelease: 1\nSummary: s\nLicense: none\nBuildArch: noarch\n"
        "AutoReqProv: no\n%description\ns\n%package two\nSummary: s\n%description two\ns\n"
        "%install\n";
    for (const auto& f : files)
        spec += "mkdir -p $(dirname %{buildroot}" + f + ")\ntouch %{buildroot}" + f + "\n";
    for (std::size_t i = 0; i < files.size(); ++i)
        spec += (i == 0                  ? "%files\n"
                 : i == files.size() / 2 ? "%files two\n"
                                         : "") +
                files[i] + "\n";
    test::writeFile(top.path(name + ".spec"), spec);
    const std::string work = top.path("rpmbuild-" + name);
    const std::string command =
        "rpmbuild -bb --quiet --define '_topdir " + work + "' --define 'debug_package %{nil}' '" +
        top.path(name + ".spec") + "' >/dev/null 2>&1 && rpm --initdb --dbpath '" + db +
        "' && rpm -i --justdb --nodeps $(rpm --help | grep -o -- --force-debian) --dbpath '" + db +
        "' '" + work + "'/RPMS/noarch/*.rpm";
    return std::system(command.c_str()) == 0;
}

// Makes a database of its kind in `top` that records `files` (absolute paths below `top`).
using MakeDatabase =
    std::function<Database(const test::TempTree& top, const std::vector<std::string>& files)>;

Database dpkgRecording(const test::TempTree& top, const std::vector<std::string>& files) {
    top.folder("dpkg/info");
    std::string list = "/.\n" + top.root() + "\n";  // folders are recorded too
    for (const auto& f : files) list += f + "\n";
    test::writeFile(top.path("dpkg/info/nss.list"), list);
    return std::make_shared<DpkgDatabase>(top.path("dpkg"));
}

Database pacmanRecording(const test::TempTree& top, const std::vector<std::string>& files) {
    top.folder("pacman/local/nss-3-1");
    top.folder("pacman/local/empty-1-1");
    test::writeFile(top.path("pacman/local/ALPM_DB_VERSION"), "9\n");
    test::writeFile(top.path("pacman/local/empty-1-1/files"), "");
    // Relative to the root, folders with a trailing "/", then the section of configuration files.
    std::string text = "%FILES%\nscan/\nscan/usr/\n";
    for (const auto& f : files) text += f.substr(top.root().size() + 1) + "\n";
    text += "\n%BACKUP%\nscan/usr/lib/x/mine.chk\t0123\n";
    test::writeFile(top.path("pacman/local/nss-3-1/files"), text);
    return std::make_shared<PacmanDatabase>(top.root(), top.path("pacman"));
}

Database rpmRecording(const test::TempTree& top, const std::vector<std::string>& files) {
    if (!makeRpmDatabase(top, files, top.path("rpmdb"))) return nullptr;
    return std::make_shared<RpmDatabase>(std::vector{top.path("rpmdb")});
}

struct Kind {
    const char* name;
    MakeDatabase make;
    bool needsRpm = false;
};

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

class OwnedFiles : public ::testing::TestWithParam<Kind> {};

// A package's .chk files, each reached by the scan through another spelling: its own path, the
// merged-/usr /lib link, a hard link, a bind mount; unowned files beside them are offered.
TEST_P(OwnedFiles, AreNotOfferedByAnySpellingTheirNeighboursAre) {
    if (GetParam().needsRpm && !rpmAvailable()) GTEST_SKIP() << "no rpmbuild or librpm";
    test::TempTree top;
    top.file("scan/usr/lib/x/libsoftokn3.chk", 1);
    top.file("scan/usr/lib/x/libfreeblpriv3.chk", 1);
    top.file("scan/usr/lib/x/readme.txt", 1);
    top.file("scan/usr/lib/x/mine.chk", 1);
    top.symlink("usr/lib", "scan/lib");
    top.file("pkg/libnssckbi.chk", 1);
    top.folder("scan/home");
    fs::create_hard_link(top.path("pkg/libnssckbi.chk"), top.path("scan/home/linked.chk"));
    top.file("pkg/bound/libnssdbm3.chk", 1);
    top.file("pkg/bound/twin.chk", 1);
    test::ScratchMounts mounts;
    const bool bound = test::ScratchMounts::available() &&
                       mounts.bind(top.path("pkg/bound"), top.path("scan/mnt/bound"));

    const std::vector<std::string> kept = {
        top.path("scan/usr/lib/x/libsoftokn3.chk"), top.path("scan/lib/x/libfreeblpriv3.chk"),
        top.path("pkg/libnssckbi.chk"), top.path("pkg/bound/libnssdbm3.chk")};
    auto recorded = kept;
    recorded.push_back(top.path("scan/usr/lib/x/readme.txt"));
    const auto database = GetParam().make(top, recorded);
    ASSERT_TRUE(database);

    std::set<std::string> read;
    EXPECT_EQ(database->read(listable, [&](std::string_view p) { read.emplace(p); }),
              DatabaseRead::Whole);
    EXPECT_THAT(read, UnorderedElementsAreArray(kept));

    auto sources = PosixFileSystem::systemSources(listable);  // the real mounts, for the bind
    sources.trashLocations = {};
    sources.packageDatabases = {database};
    PosixFileSystem fs(sources);
    std::vector<NativeString> offered = {"usr/lib/x/mine.chk"};
    if (bound) offered.push_back("mnt/bound/twin.chk");
    for (int scan = 0; scan < 2; ++scan)  // the database is read afresh for each scan
        EXPECT_THAT(test::scanTree(fs, top.path("scan")).relative,
                    UnorderedElementsAreArray(offered));
}

INSTANTIATE_TEST_SUITE_P(PackageDatabases, OwnedFiles,
                         ::testing::Values(Kind{"dpkg", dpkgRecording},
                                           Kind{"pacman", pacmanRecording},
                                           Kind{"rpm", rpmRecording, true}),
                         [](const auto& kind) { return std::string(kind.param.name); });

// A database that is missing, empty or damaged, or that nothing can read, owns nothing, says so,
// and leaves the other databases to protect their files.
TEST(PackageDatabases, BrokenOnesOwnNothingAndTheScanGoesOn) {
    struct Broken {
        const char* name;
        std::function<Database(const test::TempTree& top)> make;
        DatabaseRead read;
        bool needsRpm = false;
    };
    const auto rpmAt = [](const test::TempTree& top, std::vector<RpmDatabase::Library> libraries =
                                                         RpmDatabase::acceptedLibraries()) {
        return std::make_shared<RpmDatabase>(std::vector{top.path("rpmdb")}, libraries);
    };
    const std::vector<Broken> table = {
        {"no dpkg folder",
         [](auto& top) { return std::make_shared<DpkgDatabase>(top.path("none")); },
         DatabaseRead::Absent},
        {"a dpkg list that is a folder",
         [](auto& top) {
             top.folder("broken/info/nss.list");
             return std::make_shared<DpkgDatabase>(top.path("broken"));
         },
         DatabaseRead::Damaged},
        {"no pacman folder",
         [](auto& top) { return std::make_shared<PacmanDatabase>(top.root(), top.path("none")); },
         DatabaseRead::Absent},
        {"a pacman package without its files",
         [](auto& top) {
             top.folder("broken/local/nss-3-1");
             return std::make_shared<PacmanDatabase>(top.root(), top.path("broken"));
         },
         DatabaseRead::Damaged},
        {"no rpm folder", [&](auto& top) { return rpmAt(top); }, DatabaseRead::Absent},
        {"an empty rpm folder",
         [&](auto& top) {
             top.folder("rpmdb");
             return rpmAt(top);
         },
         DatabaseRead::Absent, true},
        {"an rpm database of garbage",
         [&](auto& top) {
             top.folder("rpmdb");
             test::writeFile(top.path("rpmdb/rpmdb.sqlite"), std::string(8192, '\x5a'));
             test::writeFile(top.path("rpmdb/Packages"), std::string(8192, '\x5a'));
             return rpmAt(top);
         },
         DatabaseRead::Damaged, true},
        {"an rpm database but no librpm",
         [&](auto& top) {
             makeRpmDatabase(top, {top.path("scan/owned.chk")}, top.path("rpmdb"));
             return rpmAt(top, {{"libkelmora-none.so.9", "librpmio.so.9"}});
         },
         DatabaseRead::Absent, true},
    };
    const bool rpm = rpmAvailable();
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        if (row.needsRpm && !rpm) continue;
        test::TempTree top;
        top.file("scan/owned.chk", 1);
        top.file("scan/free.chk", 1);
        const auto broken = row.make(top);
        const auto files = [&] {
            std::set<fs::path> found;
            for (const auto& entry : fs::recursive_directory_iterator(top.root()))
                found.insert(entry.path());
            return found;
        };
        const auto before = files();
        EXPECT_EQ(broken->read(listable, [](std::string_view) {}), row.read);
        EXPECT_EQ(files(), before) << "reading wrote to the database";
        // The good database read after the broken one still protects its file.
        const auto good = dpkgRecording(top, {top.path("scan/owned.chk")});
        PosixFileSystem fs({{}, {}, {broken, good}, listable, {}, {}});
        EXPECT_THAT(test::scanTree(fs, top.path("scan")).relative,
                    UnorderedElementsAreArray(std::vector<NativeString>{"free.chk"}));
    }
}

// rpm's database is read again for a scan once rpm has written to it.
TEST(PackageDatabases, RpmIsReadAgainOnceWritten) {
    if (!rpmAvailable()) GTEST_SKIP() << "no rpmbuild or librpm";
    test::TempTree top;
    top.file("scan/a.chk", 1);
    top.file("scan/b.chk", 1);
    ASSERT_TRUE(makeRpmDatabase(top, {top.path("scan/a.chk")}, top.path("rpmdb")));
    PosixFileSystem fs({{},
                        {},
                        {std::make_shared<RpmDatabase>(std::vector{top.path("rpmdb")})},
                        listable,
                        {},
                        {}});
    EXPECT_THAT(test::scanTree(fs, top.path("scan")).relative, ::testing::ElementsAre("b.chk"));
    ASSERT_TRUE(makeRpmDatabase(top, {top.path("scan/b.chk")}, top.path("rpmdb"), "nspr"));
    EXPECT_THAT(test::scanTree(fs, top.path("scan")).relative, ::testing::IsEmpty());
}

// Root run in another user's environment (`sudo -E`) reads the system's rpm database, planted
// here over /var/lib/rpm, and runs nothing of the configuration that librpm's defaults would load
// from HOME, XDG_CONFIG_HOME or RPM_CONFIGDIR: through the program's start, and through the rpm
// reader alone with the hostile environment left in place.
TEST(PackageDatabases, RootInAUsersEnvironmentRunsNoneOfItsRpmConfiguration) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: only root runs in another user's environment";
    if (!rpmAvailable()) GTEST_SKIP() << "no rpmbuild or librpm";
    test::TempTree top;
    top.file("scan/owned.chk", 1);
    top.file("scan/mine.chk", 1);
    ASSERT_TRUE(makeRpmDatabase(top, {top.path("scan/owned.chk")}, top.path("rpmdb")));
    // Each a macro that rpm expands while it opens a database, and the Lua that starts with it.
    const auto macro = [&](const char* marker) {
        return "%_db_backend %(touch " + top.path(std::string("ran-") + marker) + ")sqlite\n";
    };
    for (const char* folder : {"user/.config/rpm", "xdg/rpm", "rpmconfig"}) top.folder(folder);
    test::writeFile(top.path("user/.rpmmacros"), macro("home"));
    test::writeFile(top.path("user/.config/rpm/macros"), macro("config"));
    test::writeFile(top.path("xdg/rpm/macros"), macro("xdg"));
    test::writeFile(top.path("rpmconfig/macros"), macro("configdir"));
    test::writeFile(top.path("rpmconfig/rpmrc"), "");
    test::writeFile(top.path("rpmconfig/init.lua"),
                    "io.open('" + top.path("ran-lua") + "', 'w')\n");
    for (const auto& entry : fs::recursive_directory_iterator(top.path("user")))
        ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(top.path("user").c_str(), 65534, 65534), 0);

    for (const bool programStart : {true, false}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            test::ScratchMounts mounts;
            if (!test::ScratchMounts::available() ||
                !mounts.bind(top.path("rpmdb"), "/var/lib/rpm"))
                ::_exit(3);
            ::setenv("HOME", top.path("user").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", top.path("xdg").c_str(), 1);
            ::setenv("RPM_CONFIGDIR", top.path("rpmconfig").c_str(), 1);
            if (!programStart) {
                std::set<std::string> read;
                RpmDatabase(RpmDatabase::systemFolders()).read(listable, [&](auto p) {
                    read.emplace(p);
                });
                ::_exit(read == std::set{top.path("scan/owned.chk")} ? 0 : 1);
            }
            platform::keepOnlyTrustedEnvironment();
            const auto files = platform::makeFileSystem(isListableName);
            const bool offered = test::scanTree(*files, top.path("scan")).relative ==
                                 std::vector<NativeString>{"mine.chk"};
            const std::string rootsTrash =
                std::string(::getpwuid(0)->pw_dir) + "/.local/share/Trash";
            ::_exit(!offered ? 1 : homeTrashPlace().path() != rootsTrash ? 2 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 3) GTEST_SKIP() << "no mount namespace";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << programStart << ": 1, the package's file was offered or not read; 2, another trash";
        for (const char* marker : {"home", "config", "xdg", "configdir", "lua"})
            EXPECT_FALSE(fs::exists(top.path(std::string("ran-") + marker)))
                << programStart << ": ran " << marker;
    }
}

}  // namespace
}  // namespace kelmora::platform::posix
