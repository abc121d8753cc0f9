// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <vector>

#include "platform/FileRemover.h"
#include "window/MainState.h"
#include "window/MainView.h"

namespace kelmora {

// What became of one selected row during a removal.
struct RemovalStep {
    std::size_t row = 0;  // its row number when visited, the same as before the click
    platform::RemoveResult result;
    bool rowRemoved = false;  // the row left the window's list and MainState::Results
};

// The two removal handlers. Both walk the rows from the last to the first, so that taking a row
// out never moves one still to be visited, and hand each selected file to `remover` alone (a null
// `remover` refuses every file). A row that leaves is removed from the window's list and from
// MainState::Results together (the view row by row as the walk goes, Results in one pass at the
// end); the rows that stay keep their order, their sizes and their selection. After each file the
// view may show the progress (MainView::showProgress). Neither touches SelectedBytes, FoundBytes,
// lblWill, lblFreed or lblWD: the totals shown stay as they were until the next click on the list
// or the next scan.
//
// Both return one step per selected row, in the order visited (last row first). Each file goes to
// the remover as its row's ListedFile, which the remover checks; the batch is finished after the
// last file (FileRemover::finishBatch).

// "Erase": deletes each selected file for good. Its row leaves when the file was deleted or was
// already gone; a refused file keeps its row, still selected, because it is still on disk.
std::vector<RemovalStep> eraseSelected(MainState& state, MainView& view,
                                       platform::FileRemover* remover);

// "Move to bin": moves each selected file to the trash. Its row leaves only when the file went
// into the trash; otherwise it stays, still selected.
std::vector<RemovalStep> moveSelectedToBin(MainState& state, MainView& view,
                                           platform::FileRemover* remover);

}  // namespace kelmora
