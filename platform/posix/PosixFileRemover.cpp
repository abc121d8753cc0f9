#include "platform/posix/PosixFileRemover.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>

#include "platform/Platform.h"

namespace kelmora::platform::posix {
namespace {

RemoveResult refused(int osError) { return {RemoveOutcome::Refused, osError}; }

// Looks at the entry itself (never through a link). Nothing means it may be removed; otherwise
// the result to give. `readOnlyCounts` refuses a regular file without any write bit.
std::optional<RemoveResult> examine(const NativeString& path, bool readOnlyCounts) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT) return RemoveResult{RemoveOutcome::AlreadyGone, 0};
        return refused(error);
    }
    if (S_ISDIR(st.st_mode)) return refused(EISDIR);
    if (S_ISLNK(st.st_mode)) return refused(ELOOP);
    if (!S_ISREG(st.st_mode)) return refused(EINVAL);
    if (readOnlyCounts && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return refused(EACCES);
    return std::nullopt;
}

// The errno that a GIO error stands for, as far as GIO keeps it.
int errnoOf(const GError& error) {
    if (error.domain != G_IO_ERROR) return EIO;
    switch (error.code) {
        case G_IO_ERROR_NOT_FOUND:
            return ENOENT;
        case G_IO_ERROR_EXISTS:
            return EEXIST;
        case G_IO_ERROR_IS_DIRECTORY:
            return EISDIR;
        case G_IO_ERROR_NOT_DIRECTORY:
            return ENOTDIR;
        case G_IO_ERROR_PERMISSION_DENIED:
            return EACCES;
        case G_IO_ERROR_NO_SPACE:
            return ENOSPC;
        case G_IO_ERROR_READ_ONLY:
            return EROFS;
        case G_IO_ERROR_FILENAME_TOO_LONG:
            return ENAMETOOLONG;
        case G_IO_ERROR_TOO_MANY_LINKS:
            return ELOOP;
        case G_IO_ERROR_BUSY:
            return EBUSY;
        case G_IO_ERROR_NOT_SUPPORTED:
            return ENOTSUP;
        default:
            return EIO;
    }
}

struct UnrefObject {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct FreeError {
    void operator()(GError* error) const { g_error_free(error); }
};

}  // namespace

RemoveResult PosixFileRemover::deleteFile(const NativeString& path) {
    if (auto verdict = examine(path, true)) return *verdict;
    if (::unlink(path.c_str()) != 0) {
        const int error = errno;
        if (error == ENOENT) return {RemoveOutcome::AlreadyGone, 0};
        return refused(error);
    }
    return {RemoveOutcome::Removed, 0};
}

RemoveResult PosixFileRemover::moveToTrash(const NativeString& path) {
    if (auto verdict = examine(path, false)) return *verdict;
    // GIO takes the path as the file system's bytes, whatever their encoding.
    std::unique_ptr<GFile, UnrefObject> file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    if (g_file_trash(file.get(), nullptr, &raw)) return {RemoveOutcome::Removed, 0};
    std::unique_ptr<GError, FreeError> error(raw);
    if (!error) return refused(EIO);
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
        return {RemoveOutcome::AlreadyGone, 0};
    return refused(errnoOf(*error));
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {

std::unique_ptr<FileRemover> makeFileRemover() {
    return std::make_unique<posix::PosixFileRemover>();
}

}  // namespace kelmora::platform
