// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/DirEntry.h"
#include "platform/posix/listing/KeptListings.h"
#include "platform/posix/shared/IdentitySet.h"

namespace kelmora::platform::posix {

// Read-ahead of the folders that the walk is about to visit, so that the walk finds them in the
// kernel's caches instead of waiting for the disk one read at a time.
//
// What it is: a few threads that open and list folders below those the walk has just listed, look
// at the files there whose names a mask matches (statx), and throw away what they read. The kernel
// keeps the folders' inodes and blocks in its caches, and the walk, which reads everything again
// itself, finds them there. A disk serves many such reads at once; the walk alone asks for one at
// a time.
//
// What it is not: it holds none of the program's logic, which stays on the user-interface thread.
// It produces no rows and no decisions; the walk does not wait for it. The walk's order, results,
// identity checks and stop latency are the same with it as without it: only the time the walk
// waits for the disk changes. Its failures are ignored, and it writes nothing.
//
// Hand-over: a folder's listing, read whole and unchanged from before to after (see
// KeptListings), is kept for the walk, which takes it instead of listing the folder again once it
// has opened the folder itself and found the same identity and times (takeListing). So each folder
// is listed once; what the walk does with the entries is the same whichever listing they came
// from. A folder changed less than Options::settled before its listing began is not kept: a change
// within one tick of the file system's clock after the last one would leave its times unchanged.
//
// Where it goes: only below folders that the walk listed and offered, and only to subfolders that
// the walk would enter. A folder offered by the walk is read relative to a duplicate of the walk's
// own descriptor; below it, each folder relative to its parent's descriptor, one name at a time. It
// never crosses a mount, not even into one the walk enters: each name is looked at first with
// statx, which follows no link and triggers no automount, and is passed over if it is not a folder
// on the same mount; it is then opened with openat2 and RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV |
// RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH, so that a link or a mount put there since is refused.
// Nothing else is ever opened: it reads no witness but that of a folder it opened (a generation of
// another would be read by opening it).
// It passes over the trash folders (by identity, and every name .Trash or .Trash-*). No path text
// is ever resolved, so a rename by another user can only make it read a wrong folder of the same
// mount in vain.
//
// When: the walk offers a folder's subfolders only when listing the folder made it wait (longer
// than Options::offerAfter) and made its thread read from the disk, and the read-ahead goes on
// below a folder only when reading it made its own thread read from the disk. On a warm cache it
// therefore starts no thread and costs the walk two clock readings per folder, and a question to
// the system about the blocks it read every Options::askAgainAfter.
//
// Priority: the threads run at the lowest scheduling priority (nice 19), so that the walk, which
// the scan waits for, never waits for a processor that they hold.
//
// Order: folders are read in the order in which the walk will come to them, as far as the walk's
// offers and its depth-first order tell, so that all threads read ahead of the walk's next steps
// rather than spread over subtrees it reaches much later.
//
// Bounds: at most Options::inFlight folders are read at once, one per thread, and at most
// Options::queued wait; the walk's most distant future goes first. It holds at most
// inFlight * 3 + 8 descriptors (104 with the defaults): one per folder being read, and the parents
// of the waiting folders in at most inFlight * 2 + 8 shared slots; when the slots are all taken
// the farthest waiting folders go. When the process runs out of descriptors (EMFILE, ENFILE),
// or where the descriptor limit is below 512, it lets all of them go and does nothing more until
// the next scan. Memory: the waiting names, and per thread a 32 KiB listing buffer and the names of
// at most Options::queued subfolders of the folder it reads; with the defaults at most 5.3 MiB
// with names of 255 bytes, a little over 1 MiB on ordinary trees; and the kept listings, at most
// Options::kept (8 MiB in 4,096 folders with the defaults).
//
// Lifetime: begin() before a scan, offer() and takeListing() while it runs, end() when it has
// ended or been stopped; all on the user-interface thread. end() returns at once: each thread
// finishes the system call it is in and ends, letting its descriptors go, and no listing is kept
// after it. begin() and the destructor wait for the threads.
class ReadAhead {
  public:
    struct Options {
        // Folders read at once, one thread each; 0 turns the read-ahead off. A disk serves more
        // reads at once than a machine has processors: on two, 32 finish a cold scan sooner than
        // 8 or 16 (bench/README.md).
        unsigned inFlight = 32;
        // Folders waiting to be read.
        std::size_t queued = 512;
        // A listing that made the walk wait longer than this offers its subfolders.
        std::chrono::microseconds offerAfter{20};
        // Whether the walk reads from the disk costs a system call to ask, and on a slow processor
        // nearly every warm listing waits longer than offerAfter: once the answer was no, the walk
        // is not asked again for this long.
        std::chrono::microseconds askAgainAfter{500};
        // Offer every listing and go on below every folder, whatever the caches hold (tests).
        bool everywhere = false;
        // Told of every folder opened, with its descriptor, on the reading thread (tests).
        std::function<void(int fd)> opened;
        // Told of every listing kept, on the reading thread (tests).
        std::function<void()> keptOne;
        // Whether listings are kept for the walk, at most this many.
        bool handOver = true;
        KeptListings::Bounds kept;
        // How long a folder must have been unchanged, by its times, when its listing begins for
        // the listing to be kept: more than a tick of the clock of every file system the walk
        // enters (FAT's modification times have two seconds).
        std::chrono::milliseconds settled{2500};
    };

    // Names of files that the walk will ask about (those a mask matches).
    using NameFilter = std::function<bool(std::string_view name)>;

    // Reads ahead as `options` say; files whose names pass `asked` are looked at too (statx), as
    // the walk will look at them.
    ReadAhead(Options options, NameFilter asked);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Readies it for a scan: waits for the threads of the previous one to end.
    void begin();
    // Folders never to read, whatever name reaches them (the trash folders), for this scan.
    void avoid(const NumberSet& folders);
    // Offers the subfolders to enter among `entries`, the listing of the open folder `dirFd` on the
    // mount `mountId`, which took the walk `waited`; or, when the walk took the listing from a
    // read-ahead thread (`kept`), whatever the wait. Returns at once.
    void offer(int dirFd, std::uint64_t mountId, std::span<const DirEntry> entries,
               std::chrono::nanoseconds waited, bool kept = false);
    // Drops every waiting folder and kept listing and lets the threads end.
    void end();
    // The kept listing of the folder that the walk opened and found as `opened` says (its identity
    // and times, read after opening it), made by appendEntry; nothing when none is kept for it.
    std::optional<KeptListings::Listing> takeListing(const Facts& opened) {
        return kept_.take(opened.id, opened.times);
    }

  private:
    struct Slot {
        int fd = -1;
        std::uint64_t mountId = 0;
        unsigned holds = 0;  // waiting folders below it, and threads reading one of them
    };
    // A folder waiting to be read, at its place in the walk's order: folders the walk offered
    // later come first (the walk is below or past those it offered before), and among those below
    // one offer, the walk's depth-first order (`place`: the rank among its siblings of each folder
    // on the way down, 0 for the one the walk visits first).
    struct Waiting {
        std::uint32_t slot;
        std::string name;
        std::uint64_t offer;
        std::vector<std::uint32_t> place;
    };
    struct Nearer {
        bool operator()(const Waiting& a, const Waiting& b) const {
            if (a.offer != b.offer) return a.offer > b.offer;
            return a.place < b.place;
        }
    };
    struct Read {
        int fd = -1;  // the folder, open, when it could be opened: to close, or to read below
        bool fromDisk = false;
        bool outOfDescriptors = false;
        std::optional<Facts> keep;  // the folder, when its listing is to be kept
        KeptListings::Listing listing;
    };

    void work();
    Read read(const Slot& parent, const std::string& name, std::vector<char>& buffer,
              std::deque<std::string>& subfolders);
    bool avoided(const FileIdentity& id) const;
    // With the lock held:
    void startThreads();
    std::uint32_t takeSlot(int fd, std::uint64_t mountId);  // kNoSlot when none can be freed
    void release(std::uint32_t slot);
    void dropFarthest();
    void dropAll();
    void halt();  // out of descriptors: ends the threads and drops everything for this scan
    void wakeFor(std::size_t folders);  // wakes enough idle threads to read that many

    static constexpr std::uint32_t kNoSlot = UINT32_MAX;

    const Options options_;
    const NameFilter asked_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> freeSlots_;
    std::multiset<Waiting, Nearer> waiting_;  // the next one to read first
    std::uint64_t offers_ = 0;
    NumberSet avoided_;
    KeptListings kept_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;  // threads waiting for a folder
    std::atomic<bool> ending_{false};
    std::atomic<bool> halted_{false};  // out of descriptors, or no threads: nothing more this scan
    long walkBlocks_ = 0;        // blocks the walk's thread had read from the disk when last asked
    bool walkFromDisk_ = false;  // whether it had read any since the time before
    std::chrono::steady_clock::time_point nextAsk_;  // after a "none", not asked again before
};

}  // namespace kelmora::platform::posix
