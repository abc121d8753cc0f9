// SPDX-License-Identifier: MIT
#include "window/FramePacing.h"

#include <algorithm>
#include <utility>

namespace kelmora {

std::size_t ListInView::rowsPerPage() const {
    if (rowHeight <= 0 || viewHeight <= 0) return 0;
    return static_cast<std::size_t>(viewHeight / rowHeight);
}

bool FramePacing::frameDue(Clock::time_point now) const {
    if (!lastFrame_) return true;
    const Clock::duration pause = std::max<Clock::duration>(framePeriod_, 9 * lastFrameCost_);
    return now - *lastFrame_ >= pause;
}

Frame FramePacing::beginFrame(Clock::time_point now, const ListInView& list) {
    frameBegun_ = now;
    Frame frame{std::exchange(pending_, {}), true};
    if (list.firstChangedRow && rowsShown_) {
        // The row below the whole page is partly in view unless the page ends on a row's edge.
        frame.rows = *list.firstChangedRow <= list.topRow + list.rowsPerPage() ||
                     now - *rowsShown_ >= kRowsBelowPagePeriod;
    }
    if (frame.rows && list.firstChangedRow) rowsShown_ = now;
    return frame;
}

void FramePacing::frameShown(Clock::time_point now) {
    lastFrame_ = now;
    lastFrameCost_ = now - frameBegun_;
}

Frame FramePacing::finish() {
    lastFrame_.reset();
    rowsShown_.reset();
    lastFrameCost_ = {};
    return {std::exchange(pending_, {}), true};
}

}  // namespace kelmora
