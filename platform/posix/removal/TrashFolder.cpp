// SPDX-License-Identifier: MIT
#include "platform/posix/removal/TrashFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "platform/posix/mounts/MountTop.h"
#include "platform/posix/removal/FileCopy.h"
#include "platform/posix/removal/TrustedFolder.h"
#include "platform/posix/shared/StatIdentity.h"

namespace kelmora::platform::posix {
namespace {

constexpr int kPartFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kTrashFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr std::string_view kRecordSuffix = ".trashinfo";
// What a copy's name in files/ begins with until it is whole and on disk. Short enough that it fits
// before any name whose record fits (NAME_MAX - kRecordSuffix), and a name hardly anything else
// makes.
constexpr std::string_view kCopyPrefix = ".kelmora~";
static_assert(kCopyPrefix.size() <= kRecordSuffix.size());
// Random names tried in a row before a put gives up (EEXIST). Each is one of 2^32, so even a
// trash holding millions of one name's files takes a second try about once in a thousand puts: only
// a folder that calls every name taken (a broken file system) ever reaches this.
constexpr int kMostRandomNames = 64;

RemoveResult refused(int error) { return {RemoveOutcome::Refused, error}; }
constexpr RemoveResult kRemoved{RemoveOutcome::Removed, 0};
constexpr RemoveResult kGone{RemoveOutcome::AlreadyGone, 0};

// The bytes of `path` with every byte other than the URI's unreserved characters and "/"
// written as %XX, so any name (not UTF-8, with line breaks) fits on the one line of Path=.
std::string percentEncoded(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                           c == '~' || c == '/';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string recordText(std::string_view recordedPath) {
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    char date[32] = "";
    if (::localtime_r(&now, &local)) std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percentEncoded(recordedPath) + "\nDeletionDate=" + date + "\n";
}

// Where to cut `text` to keep at most `keep` bytes of it: at `keep`, or where a well-formed UTF-8
// character that the cut would split begins. Bytes that are not UTF-8 are cut anywhere, so the
// cut never moves back more than three bytes.
std::size_t cutBefore(std::string_view text, std::size_t keep) {
    const auto isTail = [&](std::size_t at) {
        return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
    };
    if (!isTail(keep)) return keep;
    for (std::size_t back = 1; back <= 3 && back <= keep; ++back) {
        const auto lead = static_cast<unsigned char>(text[keep - back]);
        if ((lead & 0xC0) == 0x80) continue;
        const std::size_t length = lead >= 0xF8   ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC0 ? 2
                                                  : 1;
        for (std::size_t at = keep; at < keep - back + length; ++at)
            if (!isTail(at)) return keep;
        return length > back ? keep - back : keep;
    }
    return keep;
}

// `digits` random hexadecimal digits: from the kernel's generator, else (no getrandom, seccomp)
// from a generator seeded once per thread.
std::string randomHex(std::size_t digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    unsigned char bytes[16] = {};
    const std::size_t wanted = (digits + 1) / 2;
    if (wanted > sizeof bytes ||
        ::getrandom(bytes, wanted, GRND_NONBLOCK) != static_cast<ssize_t>(wanted)) {
        thread_local std::mt19937_64 fallback{std::random_device{}()};
        for (std::size_t i = 0; i < wanted && i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(fallback());
    }
    std::string out;
    for (std::size_t i = 0; i < digits; ++i) out += kHex[(bytes[i / 2] >> (i % 2 ? 0 : 4)) & 15];
    return out;
}

// The name tried at `attempt` (0, 1, ...) for a file called `name`: the name itself, then
// "name.XXXXXXXX" with eight random hexadecimal digits, new at each attempt, so that a free one
// is found at once however many files of that name the trash holds (no name is probed in turn).
// The file's own name comes first, so that a trash reader shows it. Each is shortened so that its
// record's name fits in one path component: a shortened name loses the end of its stem and keeps
// its extension (up to kLongestExtension bytes from its last dot), so the file's type still shows.
// The room left is at least NAME_MAX - 10 - 9 = 236 bytes, so the stem keeps more than 200 of
// them: a shortened name is never empty, "." or "..". Two long names that shorten alike get
// different suffixes, as the record of each is made exclusively.
constexpr std::size_t kLongestExtension = 16;
std::string candidateName(const std::string& name, int attempt) {
    std::string suffix;
    if (attempt > 0) suffix.append(".").append(randomHex(8));
    const std::size_t room = NAME_MAX - kRecordSuffix.size() - suffix.size();
    if (name.size() <= room) return name + suffix;
    const std::size_t dot = name.rfind('.');
    const std::size_t extension =
        dot != std::string::npos && dot > 0 && name.size() - dot <= kLongestExtension
            ? name.size() - dot
            : 0;
    const std::string_view stem = std::string_view(name).substr(0, name.size() - extension);
    const std::size_t keep = cutBefore(stem, room - extension);
    return std::string(stem.substr(0, keep)) + name.substr(name.size() - extension) + suffix;
}

// Creates the folder `name` in `parentFd` (0700) unless something is there, then opens it as a
// real folder (never through a link) for `flags`. Nothing on failure, with `error` set.
std::optional<UniqueFd> makeAndOpen(int parentFd, const char* name, int flags, int& error) {
    if (::mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST) {
        error = errno;
        return std::nullopt;
    }
    UniqueFd fd(::openat(parentFd, name, flags));
    if (!fd) {
        error = errno == ENOTDIR ? ELOOP : errno;  // a link or no folder at all
        return std::nullopt;
    }
    return fd;
}

// Whether the folder `fd` is `owner`'s and no one else may write to it (see isTrustedFolder).
bool ownedAlone(int fd, uid_t owner, int& error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errno;
        return false;
    }
    if (st.st_uid != owner || !isTrustedFolder(st, owner)) {
        error = EPERM;
        return false;
    }
    return true;
}

// Creates the folders of the absolute `path` that are missing, 0700 each, following links on
// the way: the place is the user's own choice. 0 or an errno.
int makeParents(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        const std::string folder = path.substr(0, at);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    }
    return 0;
}

// Renames `from` in `fromFd` to `to` in `toFd` unless `to` exists. Where the file system cannot
// refuse to replace (EINVAL), the file gets `to` as a second name, which never replaces either,
// and loses `from`; a file system without hard links (or a folder) refuses instead, as a look
// for `to` and a plain rename after it could replace what took `to` in between. 0 or an errno
// (EEXIST: `to` is taken).
int renameNoReplace(int fromFd, const std::string& from, int toFd, const std::string& to) {
    if (::renameat2(fromFd, from.c_str(), toFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return errno;
    if (::linkat(fromFd, from.c_str(), toFd, to.c_str(), 0) != 0) return errno;
    if (::unlinkat(fromFd, from.c_str(), 0) == 0) return 0;
    const int error = errno;
    ::unlinkat(toFd, to.c_str(), 0);
    return error;
}

// The entry `name` of `folderFd`, not followed, is a regular file of the effective user's.
bool usersOwnFile(int folderFd, const std::string& name) {
    struct stat st {};
    return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

// The home trash folder at `place` of the user's own choice, reached as its path says and made
// with its parents when missing. Nothing on failure, with `error` set.
std::optional<UniqueFd> openUsersOwnTrash(const HomeTrashPlace& place, int& error) {
    const std::string trashPath = place.path();
    const std::size_t slash = trashPath.rfind('/');
    if (trashPath.empty() || trashPath.front() != '/' || slash + 1 >= trashPath.size()) {
        error = EINVAL;
        return std::nullopt;
    }
    if ((error = makeParents(trashPath)) != 0) return std::nullopt;
    const std::string parent = slash == 0 ? "/" : trashPath.substr(0, slash);
    UniqueFd parentFd(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parentFd) {
        error = errno;
        return std::nullopt;
    }
    const std::string leaf = trashPath.substr(slash + 1);
    return makeAndOpen(parentFd.get(), leaf.c_str(), kTrashFlags, error);
}

}  // namespace

std::optional<TrashFolder> TrashFolder::openHome(const HomeTrashPlace& place, int& error) {
    const uid_t user = ::geteuid();
    auto trash = place.way == HomeTrashWay::Verified
                     ? openTrustedFolder(place.base, place.below, user, error)
                     : openUsersOwnTrash(place, error);
    if (!trash) return std::nullopt;
    auto home = openParts(trash->get(), user, error);
    if (home) home->leftCopiesPending_ = true;
    return home;
}

std::optional<TrashFolder> TrashFolder::openOnTop(int topFd, uid_t uid, int& error) {
    // Whoever may change the top's names may swap the trash for one of their own.
    if ((error = checkTrustedFolder(topFd, uid)) != 0) return std::nullopt;
    const std::string uidText = std::to_string(uid);
    // An administrator's shared .Trash: only a real folder with the sticky bit, so that no user
    // can take another's place in it, and the administrator's or the user's own, as its owner
    // may take any name in it.
    UniqueFd shared(::openat(topFd, ".Trash", kTrashFlags));
    struct stat st {};
    if (shared && ::fstat(shared.get(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) != 0 && (st.st_uid == 0 || st.st_uid == uid)) {
        int ignored = 0;
        auto own = makeAndOpen(shared.get(), uidText.c_str(), kTrashFlags, ignored);
        if (own)
            if (auto trash = openParts(own->get(), uid, ignored)) return trash;
    }
    const std::string own = ".Trash-" + uidText;
    auto trash = makeAndOpen(topFd, own.c_str(), kTrashFlags, error);
    if (!trash) return std::nullopt;
    return openParts(trash->get(), uid, error);
}

std::optional<TrashFolder> TrashFolder::openParts(int trashFd, uid_t owner, int& error) {
    if (!ownedAlone(trashFd, owner, error)) return std::nullopt;
    auto files = makeAndOpen(trashFd, "files", kPartFlags, error);
    if (!files || !ownedAlone(files->get(), owner, error)) return std::nullopt;
    auto info = makeAndOpen(trashFd, "info", kPartFlags, error);
    if (!info || !ownedAlone(info->get(), owner, error)) return std::nullopt;
    const auto mount = mountKeyOfFd(files->get());
    if (!mount) {
        error = errno;
        return std::nullopt;
    }
    return TrashFolder(std::move(*files), std::move(*info), *mount);
}

bool TrashFolder::intact() const {
    struct stat files {
    }, info{};
    return ::fstat(files_.get(), &files) == 0 && files.st_nlink > 0 &&
           ::fstat(info_.get(), &info) == 0 && info.st_nlink > 0;
}

int TrashFolder::writeRecord(const std::string& trashName, std::string_view record, bool flush) {
    const std::string recordName = trashName + std::string(kRecordSuffix);
    UniqueFd fd(::openat(info_.get(), recordName.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return errno;
    int error = 0;
    for (std::size_t put = 0; put < record.size() && error == 0;) {
        const ssize_t n = ::write(fd.get(), record.data() + put, record.size() - put);
        if (n >= 0)
            put += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            error = errno;
    }
    if (error == 0 && flush && ::fsync(fd.get()) != 0) error = errno;
    if (error != 0) {
        fd.reset();
        ::unlinkat(info_.get(), recordName.c_str(), 0);
        return error == EEXIST ? EIO : error;  // EEXIST means a taken name, nothing else
    }
    return 0;
}

void TrashFolder::dropRecord(const std::string& trashName) {
    ::unlinkat(info_.get(), (trashName + std::string(kRecordSuffix)).c_str(), 0);
}

void TrashFolder::clearLeftCopies() {
    leftCopiesPending_ = false;
    const int listing = ::openat(files_.get(), ".", kPartFlags);
    DIR* folder = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!folder) {
        if (listing >= 0) ::close(listing);
        return;
    }
    std::vector<std::string> left;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.size() > kCopyPrefix.size() && name.starts_with(kCopyPrefix))
            left.emplace_back(name);
    }
    ::closedir(folder);
    for (const std::string& privateName : left) clearLeftCopy(privateName);
}

void TrashFolder::clearLeftCopy(const std::string& privateName) {
    UniqueFd copy(::openat(files_.get(), privateName.c_str(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat held {
    }, there{};
    // A run that still writes it holds it locked; where the file system keeps no locks, nothing
    // tells a killed run's copy from a running one's, and it stays.
    if (!copy || ::fstat(copy.get(), &held) != 0 || !S_ISREG(held.st_mode) ||
        held.st_uid != ::geteuid() || ::flock(copy.get(), LOCK_EX | LOCK_NB) != 0)
        return;
    // Only what is still at that name once locked, and only a copy: a trashed file of that name
    // would have a record of its own (a name too long to have one cannot be a trashed file), and
    // a copy always has its recorded name's record, made before it and dropped only after it.
    const std::string trashName = privateName.substr(kCopyPrefix.size());
    const std::string ownRecord = privateName + std::string(kRecordSuffix);
    if (::fstatat(files_.get(), privateName.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        there.st_dev != held.st_dev || there.st_ino != held.st_ino ||
        (::fstatat(info_.get(), ownRecord.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 ||
         (errno != ENOENT && errno != ENAMETOOLONG)) ||
        !usersOwnFile(info_.get(), trashName + std::string(kRecordSuffix)))
        return;
    // Whether the copy reached its name (it has it too where a second name stood for the rename):
    // its record then names what it should, and stays.
    const bool arrived =
        ::fstatat(files_.get(), trashName.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 ||
        errno != ENOENT;
    // The copy first: a kill between the two leaves a record of nothing, which readers pass over.
    if (::unlinkat(files_.get(), privateName.c_str(), 0) == 0 && !arrived) dropRecord(trashName);
}

UniqueFd TrashFolder::makePrivateCopy(const std::string& privateName) {
    UniqueFd copy(::openat(files_.get(), privateName.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!copy) return copy;
    while (::flock(copy.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    // Another run's clearLeftCopies may have taken it, and its record, before it was locked: only
    // a copy still at its name once locked is safe from that. Otherwise its name counts as taken.
    struct stat held {
    }, there{};
    if (::fstat(copy.get(), &held) == 0 &&
        ::fstatat(files_.get(), privateName.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        there.st_dev == held.st_dev && there.st_ino == held.st_ino)
        return copy;
    errno = EEXIST;
    return UniqueFd();
}

template <typename Place>
RemoveResult TrashFolder::putUnderFreeName(const std::string& name, std::string_view recordedPath,
                                           bool flushRecord, Place place) {
    if (leftCopiesPending_) clearLeftCopies();
    const std::string record = recordText(recordedPath);
    // Two operations per put whatever the trash holds: the exclusive record, then the file under
    // its name. Only a name taken in files/ by something without a record, or by chance a random
    // one taken already, costs another pair.
    for (int attempt = 0; attempt <= kMostRandomNames; ++attempt) {
        const std::string trashName = candidateName(name, attempt);
        // A kill from here until `place` puts the file at the name leaves a record of no file,
        // which trash readers pass over, and the file where it was: nothing is lost.
        if (const int error = writeRecord(trashName, record, flushRecord)) {
            if (error == EEXIST) continue;
            return refused(error);
        }
        if (const auto result = place(trashName)) return *result;
        // Something without a record holds the name in files/: its record goes, the next is tried.
        dropRecord(trashName);
    }
    return refused(EEXIST);
}

RemoveResult TrashFolder::moveIn(int folderFd, const std::string& name,
                                 const FileIdentity& expected, std::string_view recordedPath) {
    return putUnderFreeName(name, recordedPath, false, [&](const std::string& trashName) {
        return renameInto(folderFd, name, expected, trashName);
    });
}

std::optional<RemoveResult> TrashFolder::renameInto(int folderFd, const std::string& name,
                                                    const FileIdentity& expected,
                                                    const std::string& trashName) {
    // One rename: a kill leaves the file at its path, or in the trash with its record.
    if (const int error = renameNoReplace(folderFd, name, files_.get(), trashName)) {
        if (error == EEXIST) return std::nullopt;
        dropRecord(trashName);
        struct stat st {};
        if (error == ENOENT && ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
            errno == ENOENT)
            return kGone;
        return refused(error);
    }
    const auto arrived = identityAt(files_.get(), trashName.c_str());
    if (arrived && sameFileSinceRename(*arrived, expected)) return kRemoved;
    // Another entry took the name between the caller's check and the rename: it is not what was
    // listed, so it keeps no record, whatever happens next. (A kill before it goes leaves it in
    // the trash with a record of its own path, from where a restore puts it back.) It goes back
    // under its name, never over whatever may have taken that meanwhile; where it cannot, it stays
    // in files/ with no record, where no trash reader offers it as anything and the next put passes
    // over its name.
    dropRecord(trashName);
    renameNoReplace(files_.get(), trashName, folderFd, name);
    return refused(ESTALE);
}

RemoveResult TrashFolder::copyIn(int folderFd, const std::string& name,
                                 const FileIdentity& expected, std::string_view recordedPath) {
    struct statvfs home {
    }, own{};
    if (::fstatvfs(folderFd, &own) == 0 && (own.f_flag & ST_RDONLY) != 0) return refused(EROFS);

    UniqueFd source(::openat(folderFd, name.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!source) return errno == ENOENT ? kGone : refused(errno);
    struct stat st {};
    if (::fstat(source.get(), &st) != 0) return refused(errno);
    if (!S_ISREG(st.st_mode) || identityOfFd(source.get()) != expected) return refused(ESTALE);

    // Refuse up front what cannot fit: the data's blocks, the record and some room for the
    // file system's own bookkeeping. A copy that still runs out of space is undone below. A file
    // system that counts no blocks at all (ramfs) is not judged by its count of zero.
    if (::fstatvfs(files_.get(), &home) != 0) return refused(errno);
    const auto needed = static_cast<unsigned long long>(st.st_blocks) * 512u + 16u * home.f_bsize;
    if (home.f_blocks != 0 &&
        static_cast<unsigned long long>(home.f_bavail) * home.f_frsize < needed)
        return refused(ENOSPC);

    return putUnderFreeName(name, recordedPath, true, [&](const std::string& trashName) {
        return copyInto(source.get(), st, folderFd, name, expected, trashName);
    });
}

std::optional<RemoveResult> TrashFolder::copyInto(int source, const struct stat& st, int folderFd,
                                                  const std::string& name,
                                                  const FileIdentity& expected,
                                                  const std::string& trashName) {
    // The record exists and names no file. The copy is written under its private name, locked
    // while this run holds it: a kill until it gets the recorded name leaves that partial or
    // whole copy, which no reader offers, the record of no file and the original at its path.
    // clearLeftCopies takes the first two away.
    struct stat there {};
    if (::fstatat(files_.get(), trashName.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0)
        return std::nullopt;  // taken by something without a record: no copy made in vain
    const std::string privateName = std::string(kCopyPrefix) + trashName;
    UniqueFd copy = makePrivateCopy(privateName);
    if (!copy) {
        const int error = errno;
        if (error == EEXIST) return std::nullopt;
        dropRecord(trashName);
        return refused(error);
    }
    // From here on a failure takes the copy out again, from where it is, then its record: the
    // copy first, so that a kill in between leaves at most a record of no file.
    const std::string* copyName = &privateName;
    const auto undo = [&](RemoveResult result) {
        ::unlinkat(files_.get(), copyName->c_str(), 0);
        copy.reset();
        dropRecord(trashName);
        return result;
    };
    if (const int error = copyFile(source, st, copy.get())) return undo(refused(error));
    if (::fsync(files_.get()) != 0 || ::fsync(info_.get()) != 0) return undo(refused(errno));

    // The original must still be the listed file, unchanged while it was copied.
    struct stat now {};
    if (::fstatat(folderFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return undo(errno == ENOENT ? kGone : refused(errno));
    const bool same =
        identityAt(folderFd, name.c_str()) == expected && now.st_size == st.st_size &&
        now.st_mtim.tv_sec == st.st_mtim.tv_sec && now.st_mtim.tv_nsec == st.st_mtim.tv_nsec &&
        now.st_ctim.tv_sec == st.st_ctim.tv_sec && now.st_ctim.tv_nsec == st.st_ctim.tv_nsec;
    if (!same) return undo(refused(ESTALE));

    // The whole copy, on disk, gets the recorded name, never over what took it meanwhile (which
    // costs the copy and its record, and another name is tried), and that is put on disk before
    // the original can go: a kill from here on leaves the original at its path and its copy in
    // the trash with its record, both whole.
    if (const int error = renameNoReplace(files_.get(), privateName, files_.get(), trashName)) {
        if (error != EEXIST) return undo(refused(error));
        ::unlinkat(files_.get(), privateName.c_str(), 0);
        return std::nullopt;
    }
    copyName = &trashName;
    if (::fsync(files_.get()) != 0) return undo(refused(errno));

    // Something could take the name between that check and an unlink of it, and would be deleted
    // for good. So the original first goes aside under a private name in its own folder, is checked
    // there and only then unlinked: what the unlink removes is what was checked, unless someone
    // who may write the folder finds the private name and swaps it too, which they could do to
    // any file of theirs there anyway. A kill while it is aside leaves it under that name, beside
    // its copy in the trash: nothing is lost.
    const std::string aside = ".kelmora-trash-" + randomHex(16);
    if (const int error = renameNoReplace(folderFd, name, folderFd, aside))
        return undo(error == ENOENT ? kGone : refused(error));
    const auto moved = identityAt(folderFd, aside.c_str(), nullptr);
    struct stat asideNow {};
    const bool stillSame =
        moved && sameFileSinceRename(*moved, expected) &&
        ::fstatat(folderFd, aside.c_str(), &asideNow, AT_SYMLINK_NOFOLLOW) == 0 &&
        asideNow.st_size == st.st_size && asideNow.st_mtim.tv_sec == st.st_mtim.tv_sec &&
        asideNow.st_mtim.tv_nsec == st.st_mtim.tv_nsec;
    const int unlinked =
        !stillSame ? ESTALE : (::unlinkat(folderFd, aside.c_str(), 0) == 0 ? 0 : errno);
    if (unlinked == 0) return kRemoved;
    // What was set aside goes back under its name, never over what may have taken the name
    // meanwhile. Where it cannot (the name taken again, the folder made read-only), it stays in
    // its folder under the private name: nothing is lost, the copy and its record go, and the call
    // is a refusal, as the file was never removed.
    renameNoReplace(folderFd, aside, folderFd, name);
    return undo(refused(unlinked));
}

}  // namespace kelmora::platform::posix
