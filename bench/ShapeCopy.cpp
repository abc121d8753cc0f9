// SPDX-License-Identifier: MIT
#include "bench/ShapeCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace kelmora::bench {

ShapeStats copyShape(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    ShapeStats stats;
    struct stat top {};
    if (lstat(from.c_str(), &top) != 0) return stats;
    fs::create_directories(to);
    std::error_code error;
    fs::recursive_directory_iterator it(from, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path& source = it->path();
        const std::string target = to + "/" + fs::relative(source, from).string();
        struct stat st {};
        if (lstat(source.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev != top.st_dev) {
                it.disable_recursion_pending();
                continue;
            }
            if (mkdir(target.c_str(), 0755) == 0) ++stats.folders;
        } else if (S_ISREG(st.st_mode)) {
            const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) continue;
            if (ftruncate(fd, st.st_size) == 0) ++stats.files;
            close(fd);
        } else if (S_ISLNK(st.st_mode)) {
            std::error_code ignored;
            const auto link = fs::read_symlink(source, ignored);
            if (!ignored && symlink(link.c_str(), target.c_str()) == 0) ++stats.links;
        }
    }
    return stats;
}

}  // namespace kelmora::bench
