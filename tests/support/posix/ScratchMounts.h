// SPDX-License-Identifier: MIT
#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kelmora::test {

// File systems mounted for one test in a mount namespace of this process's own, so that nobody
// else sees them and they vanish with the process whatever happens: tmpfs, ramfs, ext4 on a loop
// device (an image file beside the mount point) and bind mounts. Each is unmounted when the
// object goes (declare it after the TempTree that holds its mount points).
class ScratchMounts {
  public:
    // False when this process cannot make mounts (not root, or no CAP_SYS_ADMIN).
    static bool available() {
        static const bool ok = ::unshare(CLONE_NEWNS) == 0 &&
                               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        return ok;
    }
    ScratchMounts() = default;
    ScratchMounts(const ScratchMounts&) = delete;
    ScratchMounts& operator=(const ScratchMounts&) = delete;
    ~ScratchMounts() {
        for (auto it = points_.rbegin(); it != points_.rend(); ++it)
            ::umount2(it->c_str(), MNT_DETACH);
        std::error_code ignored;
        for (const auto& image : images_) std::filesystem::remove(image, ignored);
    }

    // `options` as mount(8) takes them ("size=4m,nr_inodes=5").
    bool tmpfs(const std::string& at, const std::string& options = {}) {
        return simple("tmpfs", at, options);
    }
    bool ramfs(const std::string& at) { return simple("ramfs", at); }
    bool bind(const std::string& from, const std::string& at) {
        std::filesystem::create_directories(from);
        std::filesystem::create_directories(at);
        return add(::mount(from.c_str(), at.c_str(), nullptr, MS_BIND, nullptr), at);
    }
    // A fresh ext4 of 32 MiB on a loop device. With `smallInodes` its inodes are of 128 bytes,
    // which keep no birth time (only the generation tells a reused inode number apart). False
    // where there is no mkfs.ext4 or no loop device.
    bool ext4(const std::string& at, bool smallInodes = false) {
        return image(at, "32M", std::string("mkfs.ext4 -q -F ") + (smallInodes ? "-I 128 " : ""));
    }
    // A fresh btrfs of 128 MiB on a loop device, its top-level subvolume at `at`; false where
    // there is no mkfs.btrfs (btrfs-progs) or no loop device.
    bool btrfs(const std::string& at) { return image(at, "128M", "mkfs.btrfs -q -f "); }
    // The subvolume `subvolume` of the btrfs that btrfs() mounted at `first`, mounted again at
    // `at`.
    bool btrfsSubvolume(const std::string& first, const std::string& subvolume,
                        const std::string& at) {
        std::filesystem::create_directories(at);
        return add(run("mount -o loop,subvol=" + subvolume + " '" + first + ".img' '" + at + "'"),
                   at);
    }

  private:
    static int run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0 ? 0 : -1;
    }
    // Makes a file system of `size` with `mkfs` in an image beside `at` and mounts it there.
    bool image(const std::string& at, const std::string& size, const std::string& mkfs) {
        std::filesystem::create_directories(at);
        const std::string image = at + ".img";
        images_.push_back(image);
        return add(run("truncate -s " + size + " '" + image + "' && " + mkfs + "'" + image +
                       "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" + at + "'"),
                   at);
    }
    bool simple(const char* type, const std::string& at, const std::string& options = {}) {
        std::filesystem::create_directories(at);
        return add(::mount(type, at.c_str(), type, 0, options.empty() ? nullptr : options.c_str()),
                   at);
    }
    bool add(int result, const std::string& at) {
        if (result != 0) return false;
        points_.push_back(at);
        return true;
    }
    std::vector<std::string> points_;
    std::vector<std::string> images_;
};

}  // namespace kelmora::test
