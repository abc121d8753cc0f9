// SPDX-License-Identifier: MIT
#include "bench/PrefetchWalkers.h"

#include <dirent.h>
#include <fcntl.h>
#include <liburing.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/posix/listing/Dirents.h"
#include "platform/posix/shared/Facts.h"

namespace kelmora::bench {
namespace {

bool isDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

void statMatching(int fd, const char* name, WalkResult& result) {
    if (!matchesMask(name, std::strlen(name))) return;
    struct stat st {};
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        ++result.matches;
        result.bytes += static_cast<std::uint64_t>(st.st_size);
    }
}

}  // namespace

WalkResult referenceWalkWithReadAhead(const std::string& root,
                                      const platform::posix::ReadAhead::Options& options) {
    platform::posix::ReadAhead readAhead(
        options, [](std::string_view name) { return matchesMask(name.data(), name.size()); });
    readAhead.begin();
    WalkResult result;
    std::vector<std::string> pending{root};
    std::vector<char> buffer(1 << 16);
    std::vector<platform::DirEntry> entries;
    std::uint64_t mountId = 0;
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        const auto began = std::chrono::steady_clock::now();
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        if (folder == root) mountId = platform::posix::factsOf(fd)->mountId.value_or(0);
        entries.clear();
        platform::posix::readDirents(fd, buffer, [&](const platform::posix::Dirent& entry) {
            if (entry.type == DT_DIR && !isDot(entry.name)) {
                pending.push_back(folder + "/" + entry.name);
                entries.push_back({entry.name, platform::EntryType::Folder, false, false, {}, -1});
            } else if (entry.type == DT_REG) {
                statMatching(fd, entry.name, result);
            }
            return true;
        });
        readAhead.offer(fd, mountId, entries, std::chrono::steady_clock::now() - began);
        close(fd);
    }
    readAhead.end();
    return result;
}

WalkResult referenceWalkWithUring(const std::string& root, unsigned inFlight) {
    io_uring ring{};
    if (io_uring_queue_init(inFlight * 2, &ring, 0) != 0) return referenceWalk(root);
    struct Pending {
        std::string path;
        bool asked = false;
    };
    // What one statx in flight needs until it completes.
    struct Ask {
        std::string path;
        struct statx sx;
    };
    WalkResult result;
    std::vector<Pending> pending{{root, true}};
    std::vector<char> buffer(1 << 16);
    unsigned asked = 0;
    const auto reap = [&] {
        io_uring_cqe* cqe = nullptr;
        while (asked > 0 && io_uring_peek_cqe(&ring, &cqe) == 0) {
            delete static_cast<Ask*>(io_uring_cqe_get_data(cqe));
            io_uring_cqe_seen(&ring, cqe);
            --asked;
        }
    };
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back().path);
        pending.pop_back();
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        platform::posix::readDirents(fd, buffer, [&](const platform::posix::Dirent& entry) {
            if (entry.type == DT_DIR && !isDot(entry.name))
                pending.push_back({folder + "/" + entry.name});
            else if (entry.type == DT_REG)
                statMatching(fd, entry.name, result);
            return true;
        });
        close(fd);
        // The folders visited next are the last ones pushed.
        reap();
        unsigned submitted = 0;
        for (std::size_t i = pending.size(); i-- > 0 && asked < inFlight;) {
            if (pending[i].asked) continue;
            io_uring_sqe* sqe = io_uring_get_sqe(&ring);
            if (!sqe) break;
            auto* ask = new Ask{pending[i].path, {}};
            io_uring_prep_statx(sqe, AT_FDCWD, ask->path.c_str(),
                                AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO,
                                &ask->sx);
            io_uring_sqe_set_data(sqe, ask);
            pending[i].asked = true;
            ++asked;
            ++submitted;
        }
        if (submitted > 0) io_uring_submit(&ring);
    }
    while (asked > 0) {
        io_uring_cqe* cqe = nullptr;
        if (io_uring_wait_cqe(&ring, &cqe) != 0) break;
        delete static_cast<Ask*>(io_uring_cqe_get_data(cqe));
        io_uring_cqe_seen(&ring, cqe);
        --asked;
    }
    io_uring_queue_exit(&ring);
    return result;
}

std::string uringReport(const std::string& folder) {
    std::string report;
    io_uring_probe* probe = io_uring_get_probe();
    if (!probe) return "io_uring: not offered by this kernel";
    unsigned supported = 0;
    for (unsigned op = 0; op < probe->ops_len; ++op)
        supported += (probe->ops[op].flags & IO_URING_OP_SUPPORTED) ? 1 : 0;
    report = "io_uring: " + std::to_string(supported) + " of " + std::to_string(probe->ops_len) +
             " operations (last " + std::to_string(probe->last_op) +
             "); none of them lists a folder";
    io_uring_free_probe(probe);

    io_uring ring{};
    if (io_uring_queue_init(4, &ring, 0) != 0) return report;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    char byte[4096];
    static const char* const kWhat[] = {"; read of a folder: ", ", fadvise WILLNEED on it: "};
    io_uring_sqe* read = io_uring_get_sqe(&ring);
    io_uring_prep_read(read, fd, byte, sizeof byte, 0);
    io_uring_sqe_set_data64(read, 0);
    io_uring_sqe* advise = io_uring_get_sqe(&ring);
    io_uring_prep_fadvise(advise, fd, 0, 0, POSIX_FADV_WILLNEED);
    io_uring_sqe_set_data64(advise, 1);
    io_uring_submit(&ring);
    std::string answers[2];
    for (int i = 0; i < 2; ++i) {
        io_uring_cqe* cqe = nullptr;
        if (io_uring_wait_cqe(&ring, &cqe) != 0) break;
        answers[io_uring_cqe_get_data64(cqe) & 1] =
            cqe->res < 0 ? std::strerror(-cqe->res) : std::to_string(cqe->res);
        io_uring_cqe_seen(&ring, cqe);
    }
    for (int i = 0; i < 2; ++i) report += kWhat[i] + answers[i];
    close(fd);
    io_uring_queue_exit(&ring);
    return report;
}

}  // namespace kelmora::bench
