// SPDX-License-Identifier: MIT
#include "results/Selection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "tests/support/RecordingView.h"

namespace kelmora {
namespace {

// A result list and its window list, row for row, as a scan leaves them.
class SelectionTest : public ::testing::Test {
  protected:
    void add(const std::string& path, std::int64_t size) {
        state.Results.append({fromAscii(path), {}, {}}, size);
        view.appendRow(state.Results);
    }
    // What the window does when the user toggles a row: flip it, then run the click handler.
    void userToggles(std::size_t row) {
        view.toggle(row);
        listClick(state, view);
    }

    MainState state;
    test::RecordingView view;
};

TEST_F(SelectionTest, TotalRoundsDownToWholeKilobytes) {
    add("/a.tmp", 100);
    add("/b.tmp", 924);
    add("/c.tmp", 923);
    userToggles(0);
    userToggles(1);
    EXPECT_EQ(state.SelectedBytes, 1024);
    EXPECT_EQ(view.will, "1 KB");
    userToggles(1);  // deselect 924, select 923: 1023 bytes
    userToggles(2);
    EXPECT_EQ(state.SelectedBytes, 1023);
    EXPECT_EQ(view.will, "0 KB");
}

TEST_F(SelectionTest, TotalCoversEverySelectedRowNotJustTheClickedOne) {
    add("/a.tmp", 1000);
    add("/b.tmp", 2000);
    add("/c.tmp", 4000);
    add("/d.tmp", 8000);
    view.selected[0] = view.selected[2] = true;  // selected earlier, not yet totalled
    userToggles(1);
    EXPECT_EQ(state.SelectedBytes, 7000);
    EXPECT_EQ(view.will, "6 KB");
    EXPECT_EQ(view.pathLine, fromAscii("/b.tmp"));
}

TEST_F(SelectionTest, DeselectingClickShowsThatPathAndDropsItsSize) {
    add("/a.tmp", 2048);
    add("/b.tmp", 4096);
    userToggles(0);
    userToggles(1);
    EXPECT_EQ(view.will, "6 KB");
    userToggles(0);
    EXPECT_EQ(view.pathLine, fromAscii("/a.tmp"));
    EXPECT_EQ(state.SelectedBytes, 4096);
    EXPECT_EQ(view.will, "4 KB");
}

TEST_F(SelectionTest, ZeroSizeRowAddsNothing) {
    add("/empty.tmp", 0);
    add("/b.tmp", 1024);
    userToggles(1);
    userToggles(0);
    EXPECT_EQ(state.SelectedBytes, 1024);
}

TEST_F(SelectionTest, ClickWithoutCurrentRowOnEmptyListGivesZero) {
    state.SelectedBytes = 5000;  // a stale total from before
    view.will = "4 KB";
    view.pathLine = fromAscii("/old");
    listClick(state, view);
    EXPECT_EQ(state.SelectedBytes, 0);
    EXPECT_EQ(view.will, "0 KB");
    EXPECT_EQ(view.pathLine, NativeString{});
}

TEST_F(SelectionTest, TotalsAreSixtyFourBit) {
    add("/big1.tmp", 3'000'000'000);
    add("/big2.tmp", 3'000'000'000);
    selectAll(state, view);
    EXPECT_EQ(state.SelectedBytes, 6'000'000'000);
    EXPECT_EQ(view.will, "5859375 KB");
}

TEST_F(SelectionTest, TotalStopsAtTheLargestCountInsteadOfWrapping) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    add("/sparse1.tmp", kMax - 10);
    add("/sparse2.tmp", kMax - 10);
    selectAll(state, view);
    EXPECT_EQ(state.SelectedBytes, kMax);
}

TEST_F(SelectionTest, SelectAllAndDeselectAllOnAFullListTotalOnceAndLeaveThePathLine) {
    add("/a.tmp", 1024);
    add("/b.tmp", 2048);
    add("/c.tmp", 512);
    userToggles(1);
    view.pathLine = fromAscii("/scan/folder/");
    selectAll(state, view);
    EXPECT_EQ(view.selected, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(state.SelectedBytes, 3584);
    EXPECT_EQ(view.will, "3 KB");
    EXPECT_EQ(view.pathLine, fromAscii("/scan/folder/"));
    deselectAll(state, view);
    EXPECT_EQ(view.selected, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(state.SelectedBytes, 0);
    EXPECT_EQ(view.will, "0 KB");
    EXPECT_EQ(view.pathLine, fromAscii("/scan/folder/"));
    EXPECT_EQ(view.rows.size(), 3u);
}

TEST_F(SelectionTest, SelectAllAndDeselectAllOnAnEmptyListChangeOnlyTheTotal) {
    view.pathLine = fromAscii("/scan/");
    selectAll(state, view);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(state.SelectedBytes, 0);
    EXPECT_EQ(view.will, "0 KB");
    deselectAll(state, view);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.will, "0 KB");
    EXPECT_EQ(view.pathLine, fromAscii("/scan/"));
}

TEST_F(SelectionTest, RowsBeyondThe16BitLimitAreTotalledAndShown) {
    constexpr std::size_t kRows = 40'000;
    for (std::size_t i = 0; i < kRows; ++i) add("/f" + std::to_string(i) + ".tmp", 1024);
    selectAll(state, view);
    EXPECT_EQ(state.SelectedBytes, std::int64_t{1024} * kRows);
    userToggles(39'999);
    EXPECT_EQ(view.pathLine, fromAscii("/f39999.tmp"));
    EXPECT_EQ(view.will, std::to_string(kRows - 1) + " KB");
}

}  // namespace
}  // namespace kelmora
