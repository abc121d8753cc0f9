// SPDX-License-Identifier: MIT
#include "results/Removal.h"

#include <algorithm>

namespace kelmora {
namespace {

using platform::RemoveOutcome;
using platform::RemoveResult;

enum class Way { Erase, MoveToBin };

std::vector<RemovalStep> removeSelected(MainState& state, MainView& view,
                                        platform::FileRemover* remover, Way way) {
    std::vector<std::size_t> rows = view.selectedRows();
    // Removing a row leaves the rows before it where they are, so the selection read once here
    // still names the right rows when the walk reaches them.
    std::sort(rows.begin(), rows.end());
    std::vector<RemovalStep> steps;
    steps.reserve(rows.size());
    std::vector<std::size_t> leaving;  // rows whose files left, taken out of Results at the end
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const std::size_t row = *it;
        if (row >= state.Results.size()) continue;
        RemovalStep step{row, RemoveResult{}, false};
        if (remover) {
            // The path is built for this file alone and let go after it.
            const platform::ListedFile file = state.Results.listed(row);
            step.result =
                way == Way::Erase ? remover->deleteFile(file) : remover->moveToTrash(file);
        }
        const RemoveOutcome outcome = step.result.outcome;
        step.rowRemoved = outcome == RemoveOutcome::Removed ||
                          (way == Way::Erase && outcome == RemoveOutcome::AlreadyGone);
        if (step.rowRemoved) {
            view.removeRow(row);
            leaving.push_back(row);
        }
        steps.push_back(std::move(step));
        view.showProgress();
    }
    // Results still counts the rows the view has dropped until here: nothing reads it by row
    // number before this handler returns. Taking them out at once costs one pass, where one erase
    // per row would move the rest of the list every time.
    state.Results.removeRows(std::move(leaving));
    if (remover) remover->finishBatch();
    return steps;
}

}  // namespace

std::vector<RemovalStep> eraseSelected(MainState& state, MainView& view,
                                       platform::FileRemover* remover) {
    return removeSelected(state, view, remover, Way::Erase);
}

std::vector<RemovalStep> moveSelectedToBin(MainState& state, MainView& view,
                                           platform::FileRemover* remover) {
    return removeSelected(state, view, remover, Way::MoveToBin);
}

}  // namespace kelmora
