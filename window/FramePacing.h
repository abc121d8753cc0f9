// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/NativeString.h"

namespace kelmora {

// The display's values that wait for the next frame while a scan or a removal runs: each holds
// the last value set since the last frame, or nothing where none was set.
struct PendingDisplay {
    std::optional<std::string> freedUtf8, willUtf8;
    std::optional<NativeString> pathLine;  // as the path line shows it (endsOfPath)
    std::optional<int> gaugeTwips;
};

// The result list as it stands when a frame begins.
struct ListInView {
    std::size_t topRow = 0;  // the first row in view
    int viewHeight = 0;      // of the list's inside, in pixels
    int rowHeight = 0;       // in pixels
    // The first row, as the list shows it now, that a waiting change moves or takes out (new rows
    // join after the last); nothing when no change waits.
    std::optional<std::size_t> firstChangedRow;

    // The rows wholly in view; none when the row height is not positive.
    std::size_t rowsPerPage() const;
};

// What one frame puts on the screen.
struct Frame {
    PendingDisplay values;  // the labels and the gauge take these
    bool rows = false;      // the list takes all its waiting changes
};

// The pace at which a running scan's or removal's progress reaches the screen. Changes wait in
// pending() and go out together at most once per frame. A frame comes no sooner than the frame
// period after the last one, nor sooner than nine times what the last one cost, so that on a slow
// display, or with a list so long that changing it takes a while, the window's share of the time
// stays within a tenth. Changes to the list below the rows in view change nothing on screen but
// the scroll bar, yet cost the list a repaint of its whole page: they join a few times a second.
//
// The caller passes the clock's reading into every call, in order: at each pause, when
// frameDue(now), beginFrame(), show the frame, frameShown(); when the scan or the removal ends, or
// nothing paces the window, finish() and show what it returns. No value set is ever dropped: the
// last one set before a frame or finish() is the one it carries.
class FramePacing {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFramePeriod{16};  // a frame of a 60 Hz display
    static constexpr std::chrono::milliseconds kRowsBelowPagePeriod{250};

    // The least time between two frames; tests shorten it to see every step, or lengthen it to
    // see only the first pause's and the end's.
    void setFramePeriod(std::chrono::milliseconds period) { framePeriod_ = period; }
    PendingDisplay& pending() { return pending_; }

    // True when a frame may be shown at `now`: at the first pause after finish(), or once the
    // pause since the last frame has passed.
    bool frameDue(Clock::time_point now) const;
    // Begins a frame at `now`: hands over what waits, and says whether the list's waiting changes
    // go into it (the first frame after finish(), a change within the rows in view or the row
    // partly shown below them, or the period for rows below the page has passed).
    Frame beginFrame(Clock::time_point now, const ListInView& list);
    // The frame begun last is on the screen at `now`; what it cost since it began sets the pause
    // before the next one.
    void frameShown(Clock::time_point now);
    // Work the last frame caused after frameShown() (a repaint that followed) counts in its cost.
    void addFrameCost(Clock::duration cost) { lastFrameCost_ += cost; }
    // Hands over everything that waits, rows included; the next pause shows a frame at once.
    Frame finish();

  private:
    PendingDisplay pending_;
    std::chrono::milliseconds framePeriod_ = kFramePeriod;
    Clock::time_point frameBegun_{};
    std::optional<Clock::time_point> lastFrame_;  // when the last frame was shown, if one runs
    Clock::duration lastFrameCost_{};
    std::optional<Clock::time_point> rowsShown_;  // when the list last took its changes in one
};

}  // namespace kelmora
