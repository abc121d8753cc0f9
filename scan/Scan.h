// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "platform/FileSystem.h"
#include "scan/Masks.h"
#include "window/MainState.h"
#include "window/MainView.h"

namespace kelmora {

// The scan button's handler: walks a drive depth-first with the folder stack and lists every file
// that matches a mask of the mask table.
//
// Walk: each pass takes the folder on top of the stack, lists it once, records its matching files
// mask by mask (in listing order within a mask), pops it and pushes its subfolders in listing
// order, so the last one pushed is visited next and the walk is pre-order. A subfolder is a Folder
// entry without the system attribute, other than "." and "..". Beside each stacked folder the
// scan keeps the identity its parent's listing gave it, and the platform lists the folder only if
// it still is that folder, reached without a link (see FileSystem::list): a folder swapped since
// its listing is passed over like an unreadable one, so the walk never leaves the tree. A folder
// that cannot be listed contributes what was read of it, a file whose size cannot be read is left
// out, and nothing stops the walk. A folder refused by the full stack waits in MainState::Spill
// and is pushed back when the stack runs empty. Each row records the file's and its folder's
// identities for the removal to check; FoundBytes counts a file of several names (hard links)
// once, whichever of its rows come, and stops at the 64-bit maximum.
//
// The handler does not own time: after each folder it calls `handlePendingEvents`, during which
// the window may run other handlers nested, a second click on the scan button among them.
class Scan {
  public:
    // `root` is the drive root in its no-trailing-separator form; all references must outlive this.
    Scan(MainState& state, MainView& view, platform::FileSystem& fs, NativeString root,
         std::function<void()> handlePendingEvents);

    // Click on the scan button: starts a scan and returns when it has ended, or, when a scan is
    // running (this click is nested in its pause), stops it.
    void click();
    // Drops the rest of the walk and returns to idle; the running pass ends at its next end test.
    void stop();

    // Designed width of the gauge frame Picture1, in twips.
    static constexpr int kGaugeFrameWidth = 1632;

  private:
    void start();
    void pass();
    void returnToIdle();
    void refillFromSpill();
    // Pushes `path` with the identity a listing gave it; false when the stack is full.
    bool push(NativeStringView path, const std::optional<platform::FileIdentity>& id);
    // The same for the subfolder `name` of the folder being listed, in time for its name alone.
    bool pushChild(NativeStringView name, const platform::FileIdentity& id);

    MainState& state_;
    MainView& view_;
    platform::FileSystem& fs_;
    NativeString root_;
    std::function<void()> handlePendingEvents_;
    MaskSet masks_{std::array<NativeString, 0>{}};  // the mask table, ready at each start
    std::vector<platform::DirEntry> entries_;       // the listing of the current folder, reused
    std::vector<std::uint16_t> matches_;            // per entry: the masks its name matches
    // Level by level beside the stack's texts: the identity each stacked folder must still have
    // when it is listed; nothing for the root.
    std::array<std::optional<platform::FileIdentity>, Stack::kCapacity> expected_{};
    NativeString spilled_;      // reused by refillFromSpill
    NativeString path_;         // a found file's path, reused
    CountOncePerFile counted_;  // the files FoundBytes holds, where they may have several names
};

}  // namespace kelmora
