#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// Closes a file descriptor when it goes out of scope.
struct OpenFd {
    int fd;
    ~OpenFd() { close(fd); }
};

// The layout of the kernel's linux_dirent64 records: inode (8 bytes), offset (8), record length
// (2), type (1), then the name with its terminating zero.
constexpr std::size_t kRecordLengthAt = 16;
constexpr std::size_t kTypeAt = 18;
constexpr std::size_t kNameAt = 19;
constexpr std::size_t kListingBuffer = 64 * 1024;

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
    // Linux's getdents64 straight into a buffer kept for the whole scan: a directory stream would
    // make the same calls, plus an fstat and a buffer allocation for every folder.
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    const OpenFd closer{dirFd};
    if (buffer_.empty()) buffer_.resize(kListingBuffer);
    for (;;) {
        const long read = syscall(SYS_getdents64, dirFd, buffer_.data(), buffer_.size());
        if (read == 0) return true;
        if (read < 0) return false;  // a failing continuation ends the listing
        for (long at = 0; at < read;) {
            const char* record = buffer_.data() + at;
            unsigned short length = 0;
            std::memcpy(&length, record + kRecordLengthAt, sizeof length);
            at += length;
            unsigned char type = static_cast<unsigned char>(record[kTypeAt]);
            const char* name = record + kNameAt;
            DirEntry entry;
            entry.name = name;
            entry.hidden = name[0] == '.';
            if (type == DT_UNKNOWN) {
                // Some file systems do not fill the type: ask without following a link.
                struct stat st {};
                if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
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
                // A link to a folder reads as a system folder, so the walk never enters it; a link
                // to anything else is not a file the program may offer.
                struct stat st {};
                const bool toFolder = fstatat(dirFd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
                entry.type = toFolder ? EntryType::Folder : EntryType::Other;
                entry.system = toFolder;
            }
            out.push_back(std::move(entry));
        }
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
