// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "window/MainState.h"
#include "window/MainView.h"

namespace kelmora {

// The handlers that work on the result list's selection. Which rows are selected is the window's
// list's business (MainView::selectedRows); the size of row i is MainState::Results[i].size.

// The user toggled a row, with the mouse or with Space: lblWD shows the path of the current row
// (empty when there is none), SelectedBytes is recomputed from scratch over every selected row
// and lblWill shows it by sizeText. Nothing is carried over from an earlier click.
void listClick(MainState& state, MainView& view);

// "Select all" and "Deselect all": change the whole selection, then recompute SelectedBytes and
// lblWill once by the click's rule. lblWD is left as it is. On an empty list only the total is
// recomputed (to 0).
void selectAll(MainState& state, MainView& view);
void deselectAll(MainState& state, MainView& view);

// The sum of the sizes of `state.Results` rows that `view` has selected, each file once however
// many of its names (hard links) are selected, in 64 bits; a sum beyond
// the largest 64-bit count stays at that count instead of wrapping around.
std::int64_t selectedTotal(const MainState& state, const MainView& view);

}  // namespace kelmora
