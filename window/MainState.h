// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/NativeString.h"
#include "results/ResultList.h"
#include "scan/FolderSpill.h"
#include "scan/Stack.h"

namespace kelmora {

// The state the main window's handlers share, for the life of the window. Plain fields: the scan,
// the selection, the removal and the language switch read and write them directly.
struct MainState {
    std::uint8_t Lang = 0;  // 1 while the Czech captions are shown; any other value: English
    std::int16_t Idle = 0;  // 1 while no scan runs, 0 during a scan
    std::array<NativeString, 10> Masks;  // the mask table, filled at start-up
    // Total size of the files the current or last scan found; stays at the 64-bit maximum once
    // reached (sparse files can claim sizes close to it).
    std::int64_t FoundBytes = 0;
    std::int64_t SelectedBytes = 0;  // total size of the selected rows, as last computed
    std::int16_t GaugeWidth = 0;     // width last given to the stack-usage bar, in twips
    // The folder being scanned or scanned last, ending in the separator. It views the folder
    // stack's own text, which holds still until the next folder is taken (or is empty).
    NativeStringView CurrentFolder;
    NativeString EntryName;          // the matching file being listed; empty between folders
    std::unique_ptr<Stack> Folders;  // folders still to visit; created on first use
    // Folders found while Folders was full, in the order found, with the identities their listing
    // gave them. They go back on the stack whenever it runs empty, so that a full stack never loses
    // part of the tree; they cost memory by their names (see FolderSpill).
    FolderSpill Spill;
    ResultList Results;  // the found files, row for row with the window's list
};

}  // namespace kelmora
