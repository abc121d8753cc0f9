// SPDX-License-Identifier: MIT
#include "window/FramePacing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelmora {
namespace {

// At `atMs`: `text` becomes the freed total (unless empty), then a pause shows a frame if one is
// due, which takes `costMs` (negative: the run ends instead). The list's first waiting change is
// `changed` (none if negative), in a list of 10 whole rows and a half one from row `top`.
struct Step {
    int atMs;
    const char* text;
    int costMs;
    int changed = -1;
    std::size_t top = 0;
};

// Drives the pacing as the windows do; writes down each frame as "when:text", with "+" where the
// list took its waiting changes.
std::string framesOf(const std::vector<Step>& steps) {
    FramePacing pacing;
    std::string frames;
    for (const Step& step : steps) {
        const FramePacing::Clock::time_point now{std::chrono::milliseconds(step.atMs)};
        if (*step.text) pacing.pending().freedUtf8 = step.text;
        std::optional<std::size_t> changed;
        if (step.changed >= 0) changed = static_cast<std::size_t>(step.changed);
        Frame frame;
        if (step.costMs < 0) {
            frame = pacing.finish();
        } else if (pacing.frameDue(now)) {
            frame = pacing.beginFrame(now, {step.top, 10 * 12 + 6, 12, changed});
            pacing.frameShown(now + std::chrono::milliseconds(step.costMs));
        } else {
            continue;
        }
        frames += std::to_string(step.atMs) + ':' + frame.values.freedUtf8.value_or("") +
                  (frame.rows && changed ? "+ " : " ");
    }
    return frames;
}

TEST(FramePacing, ShowsFramesWhenDueTheLastTextSetAndRowsInViewAtOnce) {
    const struct {
        std::vector<Step> steps;
        const char* frames;
    } cases[] = {
        // 16 ms after the last frame was shown; the last text set wins, none is lost at the end.
        {{{0, "a", 1}, {10, "b", 1}, {16, "", 1}, {17, "c", 1}, {20, "d", 1}, {21, "", -1}},
         "0:a 17:c 21:d "},
        // A frame that cost 10 ms is followed by none for 90 ms; the end shows at once, and so
        // does the next run's first pause.
        {{{0, "a", 10}, {60, "b", 1}, {99, "", 1}, {100, "", 1}, {110, "c", -1}, {111, "e", 1}},
         "0:a 100:b 110:c 111:e "},
        // Changes in view or in the half row show every frame; below, every 250 ms from the last.
        {{{0, "", 1, 50}, {20, "", 1, 10}, {40, "", 1, 11}, {253, "", 1, 11}, {270, "", 1, 11}},
         "0:+ 20:+ 40: 253: 270:+ "},
        // Scrolled to row 25: a change above the rows in view moves them; the end shows all.
        {{{0, "", 1, 50}, {20, "", 1, 36, 25}, {40, "", 1, 24, 25}, {60, "", -1, 90}},
         "0:+ 20: 40:+ 60:+ "},
    };
    for (const auto& c : cases) EXPECT_EQ(framesOf(c.steps), c.frames);
}

}  // namespace
}  // namespace kelmora
