// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/FileSystem.h"
#include "scan/Masks.h"
#include "scan/Scan.h"
#include "tests/support/RecordingView.h"
#include "window/MainState.h"

namespace kelmora::test {

// A found row whole: the file as removal gets it, with its size and whether it may share it.
struct FoundRow : platform::ListedFile {
    std::int64_t size = 0;
    bool mayShare = false;
};

// What one whole scan of a tree found: each row's path below the root, its size, the rows
// themselves and the found total.
struct ScanFindings {
    std::vector<NativeString> relative;
    std::vector<std::int64_t> sizes;
    std::vector<FoundRow> rows;
    std::int64_t foundBytes = 0;
    RecordingView view;
};

// Runs the scan handler over `root` (no trailing separator) through `fs`, to its end, as a fresh
// window in English would. `onPause`, when given, runs in each pause between two folders.
inline ScanFindings scanTree(platform::FileSystem& fs, const NativeString& root,
                             const std::function<void(MainState&)>& onPause = {}) {
    ScanFindings found;
    MainState state;
    state.Idle = 1;
    state.Lang = kEnglish;
    state.Masks = nativeMaskTable();
    Scan scan(state, found.view, fs, root, [&] {
        if (onPause) onPause(state);
    });
    scan.click();
    for (std::size_t i = 0; i < state.Results.size(); ++i) {
        found.relative.push_back(state.Results.pathOf(i).substr(root.size() + 1));
        found.sizes.push_back(state.Results[i].size);
        found.rows.push_back(
            {state.Results.listed(i), state.Results[i].size, state.Results[i].mayShare});
    }
    found.foundBytes = state.FoundBytes;
    return found;
}

}  // namespace kelmora::test
