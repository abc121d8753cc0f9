// SPDX-License-Identifier: MIT
#include "platform/posix/listing/ReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string_view>
#include <system_error>

#include "platform/posix/listing/Dirents.h"
#include "platform/posix/removal/TrashFolders.h"
#include "platform/posix/shared/Facts.h"

namespace kelmora::platform::posix {
namespace {

constexpr std::size_t kListingBuffer = 32 * 1024;
// The threads' scheduling priority, the lowest there is: the walk on the user-interface thread is
// what a scan waits for, and on a machine with few processors the threads' reads (which cost the
// kernel processor time) would otherwise keep it waiting for one.
constexpr int kThreadNiceness = 19;
// Below this descriptor limit the walk and the window may need every descriptor there is.
constexpr rlim_t kLeastDescriptorLimit = 512;

bool isDotEntry(std::string_view name) { return name == "." || name == ".."; }

// Blocks this thread has read from the disk so far.
long blocksRead() {
    rusage usage{};
    return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_inblock : 0;
}

bool descriptorLimitAllows() {
    rlimit limit{};
    return getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
           (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= kLeastDescriptorLimit);
}

// Whether `times` lie at least `settled` before the wall-clock time `began`, as file times do.
bool settledBefore(const ChangeTimes& times, const timespec& began,
                   std::chrono::milliseconds settled) {
    const std::int64_t limit =
        std::int64_t{began.tv_sec} * 1'000'000'000 + began.tv_nsec -
        std::chrono::duration_cast<std::chrono::nanoseconds>(settled).count();
    return times.change <= limit && times.modify <= limit;
}

}  // namespace

ReadAhead::ReadAhead(Options options, NameFilter asked)
    : options_(std::move(options)), asked_(std::move(asked)), kept_(options_.kept) {
    slots_.resize(options_.inFlight * 2 + 8);
    for (std::uint32_t i = static_cast<std::uint32_t>(slots_.size()); i-- > 0;)
        freeSlots_.push_back(i);
}

ReadAhead::~ReadAhead() { begin(); }

void ReadAhead::begin() {
    end();
    for (auto& thread : threads_) thread.join();
    threads_.clear();
    ending_ = false;
    halted_ = options_.inFlight == 0;
    avoided_.clear();
    // A thread may have kept a listing after end(), before it ended.
    kept_.clear();
    walkBlocks_ = blocksRead();
    walkFromDisk_ = false;
    nextAsk_ = {};
}

void ReadAhead::avoid(const NumberSet& folders) {
    // Read by the threads without the lock: set only while none runs, before the first offer.
    if (threads_.empty()) avoided_ = folders;
}

void ReadAhead::end() {
    std::lock_guard<std::mutex> held(mutex_);
    ending_ = true;
    dropAll();
    kept_.clear();
    wake_.notify_all();
}

void ReadAhead::offer(int dirFd, std::uint64_t mountId, std::span<const DirEntry> entries,
                      std::chrono::nanoseconds waited, bool kept) {
    if (halted_) return;
    if (!options_.everywhere && !kept) {
        // A slow listing may have been slow for other reasons (a large folder, a busy processor):
        // only one that read from the disk, this one or one since the last such, counts.
        if (waited < options_.offerAfter) return;
        const auto now = std::chrono::steady_clock::now();
        if (!walkFromDisk_ && now < nextAsk_) return;
        const long blocks = blocksRead();
        walkFromDisk_ = blocks > walkBlocks_;
        walkBlocks_ = blocks;
        if (!walkFromDisk_) {
            nextAsk_ = now + options_.askAgainAfter;
            return;
        }
    }
    const auto enters = [](const DirEntry& entry) {
        return entry.type == EntryType::Folder && !entry.system && !isDotEntry(entry.name);
    };
    std::size_t count = 0;
    for (const auto& entry : entries) count += enters(entry) ? 1 : 0;
    if (count == 0) return;
    // The walk visits the last ones listed first; no more than may wait are offered.
    std::size_t skip = count > options_.queued ? count - options_.queued : 0;
    count -= skip;

    std::lock_guard<std::mutex> held(mutex_);
    if (threads_.empty()) {
        if (!descriptorLimitAllows()) {
            halted_ = true;
            return;
        }
        startThreads();
        if (halted_) return;
    }
    const int copy = fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        if (errno == EMFILE || errno == ENFILE) halt();
        return;
    }
    const std::uint32_t slot = takeSlot(copy, mountId);
    if (slot == kNoSlot) return;
    // The walk visits the subfolder listed last first.
    const std::uint64_t offer = ++offers_;
    std::uint32_t rank = static_cast<std::uint32_t>(count);
    for (const auto& entry : entries) {
        if (!enters(entry)) continue;
        if (skip > 0) {
            --skip;
            continue;
        }
        ++slots_[slot].holds;
        waiting_.insert({slot, entry.name, offer, {--rank}});
    }
    release(slot);  // the waiting folders hold it now
    while (waiting_.size() > options_.queued) dropFarthest();
    wakeFor(count);
}

void ReadAhead::startThreads() {
    try {
        for (unsigned i = 0; i < options_.inFlight; ++i) {
            threads_.emplace_back([this] { work(); });
            pthread_setname_np(threads_.back().native_handle(), "read-ahead");
        }
    } catch (const std::system_error&) {
        // As many as there are; with none, nothing.
        if (threads_.empty()) halted_ = true;
    }
}

std::uint32_t ReadAhead::takeSlot(int fd, std::uint64_t mountId) {
    // The walk's most distant future makes room.
    while (freeSlots_.empty() && !waiting_.empty()) dropFarthest();
    if (freeSlots_.empty()) {
        close(fd);
        return kNoSlot;
    }
    const std::uint32_t slot = freeSlots_.back();
    freeSlots_.pop_back();
    slots_[slot] = {fd, mountId, 1};
    return slot;
}

void ReadAhead::release(std::uint32_t slot) {
    Slot& held = slots_[slot];
    if (--held.holds > 0) return;
    close(held.fd);
    held.fd = -1;
    freeSlots_.push_back(slot);
}

void ReadAhead::dropFarthest() {
    const auto farthest = std::prev(waiting_.end());
    release(farthest->slot);
    waiting_.erase(farthest);
}

void ReadAhead::halt() {
    // The walk needs descriptors more: every one held goes, as each thread ends.
    halted_ = true;
    ending_ = true;
    dropAll();
    wake_.notify_all();
}

void ReadAhead::dropAll() {
    while (!waiting_.empty()) dropFarthest();
}

void ReadAhead::wakeFor(std::size_t folders) {
    if (folders >= idle_) {
        wake_.notify_all();
        return;
    }
    for (std::size_t i = 0; i < folders; ++i) wake_.notify_one();
}

bool ReadAhead::avoided(const FileIdentity& id) const { return avoided_.contains(id); }

void ReadAhead::work() {
    // Only this thread's; a failure leaves it at the walk's priority.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kThreadNiceness);
    std::vector<char> buffer(kListingBuffer);
    std::deque<std::string> subfolders;
    std::unique_lock<std::mutex> held(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(held, [this] { return ending_ || !waiting_.empty(); });
        --idle_;
        if (ending_) return;
        Waiting next = std::move(waiting_.extract(waiting_.begin()).value());
        // The slot stays open while this thread holds it: only its descriptor is read here.
        const Slot parent = slots_[next.slot];
        held.unlock();
        subfolders.clear();
        Read done = read(parent, next.name, buffer, subfolders);
        held.lock();
        release(next.slot);
        if (done.outOfDescriptors) halt();
        const bool below =
            !ending_ && !subfolders.empty() && (done.fromDisk || options_.everywhere);
        // Kept with the lock held, so that none is kept once end() has returned.
        if (done.keep && !ending_) {
            done.listing.readsBelow = below;
            kept_.keep(done.keep->id, done.keep->times, std::move(done.listing));
            if (options_.keptOne) options_.keptOne();
        }
        if (done.fd < 0) continue;
        if (!below) {
            close(done.fd);
            continue;
        }
        const std::uint32_t slot = takeSlot(done.fd, parent.mountId);
        if (slot == kNoSlot) continue;
        std::uint32_t rank = static_cast<std::uint32_t>(subfolders.size());
        for (auto& name : subfolders) {
            ++slots_[slot].holds;
            auto place = next.place;
            place.push_back(--rank);
            waiting_.insert({slot, std::move(name), next.offer, std::move(place)});
        }
        release(slot);
        while (waiting_.size() > options_.queued) dropFarthest();
        // This thread takes one itself; each idle one is woken for one more.
        wakeFor(subfolders.size() - 1);
    }
}

ReadAhead::Read ReadAhead::read(const Slot& parent, const std::string& name,
                                std::vector<char>& buffer, std::deque<std::string>& subfolders) {
    Read done;
    const long blocksBefore = blocksRead();
    // Looked at without following a link or waking an automounter, and left alone unless it is a
    // folder on the parent's own mount. No witness is read: the number tells an avoided folder, and
    // reading a generation (ext4 with small inodes) would open the folder outside openat2.
    const auto facts = factsAt(parent.fd, name.c_str(), Witness::Skip);
    if (!facts || !facts->isFolder() || facts->automount || facts->mountRoot || !facts->mountId ||
        *facts->mountId != parent.mountId || avoided(facts->id))
        return done;
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
    const int fd =
        static_cast<int>(syscall(SYS_openat2, parent.fd, name.c_str(), &how, sizeof how));
    if (fd < 0) {
        done.outOfDescriptors = errno == EMFILE || errno == ENFILE;
        return done;
    }
    if (options_.opened) options_.opened(fd);
    // The folder's identity and times before the listing, for the walk's hand-over: none where
    // it changed too recently for its listing to be kept.
    std::optional<Facts> before;
    timespec began{};
    if (options_.handOver && clock_gettime(CLOCK_REALTIME, &began) == 0) before = factsOf(fd);
    if (before && !settledBefore(before->times, began, options_.settled)) before.reset();
    // An ending scan stops the listing at its next entry.
    const bool whole = readDirents(fd, buffer, [&](const Dirent& listed) {
        if (before) appendEntry(done.listing.entries, listed);
        const std::string_view entry(listed.name);
        if ((listed.type == DT_DIR || listed.type == DT_UNKNOWN) && !isDotEntry(entry) &&
            !isMountTrashName(entry)) {
            // The walk visits the last ones listed first; no more than may wait are kept.
            subfolders.emplace_back(entry);
            if (subfolders.size() > options_.queued) subfolders.pop_front();
        } else if (listed.type == DT_REG && asked_ && asked_(entry)) {
            // The file's inode, which the walk reads next with the same call; never the file
            // itself, which a generation would open.
            (void)factsAt(fd, entry.data(), Witness::Skip);
        }
        return !ending_;
    });
    if (whole && before) {
        const auto after = factsOf(fd, Witness::Skip);
        if (after && after->id.sameNumber(before->id) && after->times == before->times)
            done.keep = before;
    }
    done.fromDisk = blocksRead() > blocksBefore;
    done.fd = fd;
    return done;
}

}  // namespace kelmora::platform::posix
