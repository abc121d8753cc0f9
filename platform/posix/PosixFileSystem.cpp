#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/Platform.h"

namespace kelmora::platform::posix {
namespace {

std::string readMountInfo() {
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::string homeTrashFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return std::string(data) + "/Trash";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/Trash";
    return {};
}

PosixFileSystem::Sources PosixFileSystem::systemSources(PackageFiles::NameFilter listableName) {
    return {readMountInfo, homeTrashFolder(), "/var/lib/dpkg", std::move(listableName)};
}

PosixFileSystem::PosixFileSystem(Sources sources)
    : sources_(std::move(sources)), packages_(sources_.dpkgRoot, sources_.listableName) {}

PosixFileSystem::PosixFileSystem(std::function<std::string()> mountInfo, std::string homeTrash)
    : PosixFileSystem(Sources{std::move(mountInfo), std::move(homeTrash), {}, {}}) {}

void PosixFileSystem::beginScan() {
    systemFolders_ = SystemFolders(parseMountInfo(sources_.mountInfo()), sources_.homeTrash);
    packages_.reset();
}

bool PosixFileSystem::isProtected(const NativeString& path) {
    return !sources_.dpkgRoot.empty() && packages_.owns(path);
}

bool PosixFileSystem::list(const NativeString& folder, std::vector<DirEntry>& out) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return false;
    const int dirFd = dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* ent = readdir(dir.get());
        if (!ent) return errno == 0;  // a failing continuation ends the listing
        DirEntry entry;
        entry.name = ent->d_name;
        entry.hidden = ent->d_name[0] == '.';
        unsigned char type = ent->d_type;
        if (type == DT_UNKNOWN) {
            // Some file systems do not fill d_type: ask without following a link.
            struct stat st {};
            if (fstatat(dirFd, ent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISREG(st.st_mode)   ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        if (type == DT_REG) {
            entry.type = EntryType::File;
        } else if (type == DT_DIR) {
            entry.type = EntryType::Folder;
            entry.system = systemFolders_.contains(folder, entry.name);
        } else if (type == DT_LNK) {
            // A link to a folder reads as a system folder, so the walk never enters it; a link to
            // anything else is not a file the program may offer.
            struct stat st {};
            const bool toFolder = fstatat(dirFd, ent->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
            entry.type = toFolder ? EntryType::Folder : EntryType::Other;
            entry.system = toFolder;
        }
        out.push_back(std::move(entry));
    }
}

std::optional<std::int64_t> PosixFileSystem::fileSize(const NativeString& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {

std::unique_ptr<FileSystem> makeFileSystem(NameFilter listableName) {
    return std::make_unique<posix::PosixFileSystem>(posix::PosixFileSystem::systemSources(
        [listableName](std::string_view name) { return listableName(NativeStringView(name)); }));
}

}  // namespace kelmora::platform
