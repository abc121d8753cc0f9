// SPDX-License-Identifier: MIT
#include "results/Selection.h"

#include <limits>

#include "window/SizeText.h"

namespace kelmora {
namespace {

void showTotal(MainState& state, MainView& view) {
    state.SelectedBytes = selectedTotal(state, view);
    view.setWillText(sizeText(state.SelectedBytes));
}

}  // namespace

std::int64_t selectedTotal(const MainState& state, const MainView& view) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t total = 0;
    CountOncePerFile counted;
    for (const std::size_t row : view.selectedRows()) {
        if (row >= state.Results.size()) continue;  // the list and the results are kept in step
        const std::int64_t size = counted.sizeToAdd(state.Results[row]);
        // Sparse files can claim sizes near the 64-bit limit; a few of them must not wrap around.
        total = size > 0 && total > kMax - size ? kMax : total + size;
    }
    return total;
}

void listClick(MainState& state, MainView& view) {
    const auto current = view.currentRow();
    view.setPathLine(current && *current < state.Results.size() ? state.Results.pathOf(*current)
                                                                : NativeString{});
    showTotal(state, view);
}

void selectAll(MainState& state, MainView& view) {
    view.setAllRowsSelected(true);
    showTotal(state, view);
}

void deselectAll(MainState& state, MainView& view) {
    view.setAllRowsSelected(false);
    showTotal(state, view);
}

}  // namespace kelmora
