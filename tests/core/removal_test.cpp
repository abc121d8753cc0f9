// SPDX-License-Identifier: MIT
#include "results/Removal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/fake/FakeFileRemover.h"
#include "tests/support/RecordingView.h"

namespace kelmora {
namespace {

using platform::FakeFileRemover;
using platform::RemoveOutcome;
using ::testing::ElementsAre;
using Call = FakeFileRemover::Call;

NativeString p(const std::string& text) { return fromAscii(text); }

class RemovalTest : public ::testing::Test {
  protected:
    // Rows "/0.tmp" (size 100) to "/<n-1>.tmp" (size 100 * (n)), as a scan leaves them, each
    // with identities of its own.
    void rows(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            state.Results.append({p(name(i)), fileId(i), folderId(i)},
                                 static_cast<std::int64_t>(100 * (i + 1)));
            view.appendRow(state.Results);
        }
    }
    static std::string name(std::size_t i) { return "/" + std::to_string(i) + ".tmp"; }
    static platform::FileIdentity fileId(std::size_t i) { return {7, 1000 + i, {}}; }
    static platform::FileIdentity folderId(std::size_t i) { return {7, 2000 + i, {}}; }
    void select(std::initializer_list<std::size_t> list) {
        for (auto i : list) view.selected[i] = true;
    }
    // The result list as (path, size) pairs, checked against the window's rows.
    std::vector<std::pair<NativeString, std::int64_t>> remaining() const {
        std::vector<std::pair<NativeString, std::int64_t>> out;
        EXPECT_EQ(view.rows.size(), state.Results.size());
        for (std::size_t i = 0; i < state.Results.size(); ++i) {
            EXPECT_EQ(view.rows[i], state.Results.pathOf(i)) << "row " << i;
            out.emplace_back(state.Results.pathOf(i), state.Results[i].size);
        }
        return out;
    }

    MainState state;
    test::RecordingView view;
    FakeFileRemover remover;
};

TEST_F(RemovalTest, EraseWalksFromTheLastRowAndKeepsTheOthersBesideTheirSizes) {
    rows(5);
    select({1, 3});
    const auto steps = eraseSelected(state, view, &remover);
    EXPECT_THAT(remover.calls(), ElementsAre(FakeFileRemover::Record{Call::Delete, p("/3.tmp")},
                                             FakeFileRemover::Record{Call::Delete, p("/1.tmp")}));
    EXPECT_THAT(remaining(), ElementsAre(std::pair{p("/0.tmp"), 100}, std::pair{p("/2.tmp"), 300},
                                         std::pair{p("/4.tmp"), 500}));
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].row, 3u);
    EXPECT_EQ(steps[1].row, 1u);
    EXPECT_TRUE(steps[0].rowRemoved && steps[1].rowRemoved);
    EXPECT_EQ(view.selected, (std::vector<bool>{false, false, false}));
    // The remover checks each file against what the scan recorded of it, so it gets the records,
    // and is told when the click's files are done.
    ASSERT_EQ(remover.files().size(), 2u);
    EXPECT_EQ(remover.files()[0].file, fileId(3));
    EXPECT_EQ(remover.files()[0].folder, folderId(3));
    EXPECT_EQ(remover.files()[1].file, fileId(1));
    EXPECT_EQ(remover.batchesFinished(), 1);
}

TEST_F(RemovalTest, MoveToBinWalksFromTheLastRowAndKeepsTheOthersBesideTheirSizes) {
    rows(5);
    select({1, 3});
    moveSelectedToBin(state, view, &remover);
    EXPECT_THAT(remover.calls(), ElementsAre(FakeFileRemover::Record{Call::Trash, p("/3.tmp")},
                                             FakeFileRemover::Record{Call::Trash, p("/1.tmp")}));
    ASSERT_EQ(remover.files().size(), 2u);
    EXPECT_EQ(remover.files()[1].file, fileId(1));
    EXPECT_EQ(remover.batchesFinished(), 1);
    EXPECT_THAT(remaining(), ElementsAre(std::pair{p("/0.tmp"), 100}, std::pair{p("/2.tmp"), 300},
                                         std::pair{p("/4.tmp"), 500}));
}

TEST_F(RemovalTest, NothingSelectedOrEmptyListTouchesNoFile) {
    EXPECT_TRUE(eraseSelected(state, view, &remover).empty());
    EXPECT_TRUE(moveSelectedToBin(state, view, &remover).empty());
    rows(3);
    EXPECT_TRUE(eraseSelected(state, view, &remover).empty());
    EXPECT_TRUE(moveSelectedToBin(state, view, &remover).empty());
    EXPECT_TRUE(remover.calls().empty());
    EXPECT_EQ(remaining().size(), 3u);
}

TEST_F(RemovalTest, EraseKeepsARefusedFileSelectedAndDropsAVanishedOne) {
    rows(3);
    select({0, 1, 2});
    remover.answerDelete(p("/2.tmp"), RemoveOutcome::Refused, 13);  // read-only
    remover.answerDelete(p("/1.tmp"), RemoveOutcome::AlreadyGone);  // deleted since the scan
    const auto steps = eraseSelected(state, view, &remover);
    EXPECT_THAT(remaining(), ElementsAre(std::pair{p("/2.tmp"), 300}));
    EXPECT_EQ(view.selected, (std::vector<bool>{true}));
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].row, 2u);
    EXPECT_EQ(steps[0].result.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(steps[0].result.osError, 13);
    EXPECT_FALSE(steps[0].rowRemoved);
    EXPECT_EQ(steps[1].result.outcome, RemoveOutcome::AlreadyGone);
    EXPECT_TRUE(steps[1].rowRemoved);
    EXPECT_TRUE(steps[2].rowRemoved);
}

TEST_F(RemovalTest, MoveToBinKeepsTheMiddleOfThreeWhenItsMoveFails) {
    rows(3);
    select({0, 1, 2});
    remover.answerTrash(p("/1.tmp"), RemoveOutcome::Refused, 18);
    moveSelectedToBin(state, view, &remover);
    EXPECT_EQ(remover.calls().size(), 3u);
    EXPECT_THAT(remaining(), ElementsAre(std::pair{p("/1.tmp"), 200}));
    EXPECT_EQ(view.selected, (std::vector<bool>{true}));
}

TEST_F(RemovalTest, MoveToBinKeepsTheRowOfAFileThatWasAlreadyGone) {
    // Only a file that reached the trash can be restored from it; the row shows that it did not.
    rows(2);
    select({0, 1});
    remover.answerTrash(p("/0.tmp"), RemoveOutcome::AlreadyGone);
    const auto steps = moveSelectedToBin(state, view, &remover);
    EXPECT_THAT(remaining(), ElementsAre(std::pair{p("/0.tmp"), 100}));
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_FALSE(steps[1].rowRemoved);
}

TEST_F(RemovalTest, WithoutARemoverEveryFileIsRefusedAndEveryRowStays) {
    rows(2);
    select({0, 1});
    const auto erased = eraseSelected(state, view, nullptr);
    const auto binned = moveSelectedToBin(state, view, nullptr);
    EXPECT_EQ(remaining().size(), 2u);
    EXPECT_EQ(view.selected, (std::vector<bool>{true, true}));
    for (const auto& steps : {erased, binned}) {
        ASSERT_EQ(steps.size(), 2u);
        for (const auto& step : steps) EXPECT_EQ(step.result.outcome, RemoveOutcome::Refused);
    }
}

TEST_F(RemovalTest, RemovalLeavesTotalsLabelsAndPathLineAsTheyWere) {
    rows(3);
    select({0, 2});
    state.SelectedBytes = 400;
    state.FoundBytes = 600;
    view.will = "7 KB";
    view.freed = "12 KB";
    view.pathLine = p("/2.tmp");
    eraseSelected(state, view, &remover);
    select({0});
    moveSelectedToBin(state, view, &remover);
    EXPECT_EQ(state.SelectedBytes, 400);
    EXPECT_EQ(state.FoundBytes, 600);
    EXPECT_EQ(view.will, "7 KB");
    EXPECT_EQ(view.freed, "12 KB");
    EXPECT_EQ(view.pathLine, p("/2.tmp"));
    EXPECT_TRUE(state.Results.empty());
}

TEST_F(RemovalTest, RowsBeyondThe16BitLimitAreRemoved) {
    rows(40'000);
    select({32'767, 39'999});
    eraseSelected(state, view, &remover);
    ASSERT_EQ(state.Results.size(), 39'998u);
    EXPECT_EQ(view.rows.size(), 39'998u);
    EXPECT_EQ(state.Results.pathOf(32'766), p(name(32'766)));
    EXPECT_EQ(state.Results.pathOf(32'767), p(name(32'768)));
    EXPECT_EQ(state.Results[32'767].size, 100 * 32'769);
    EXPECT_EQ(state.Results.pathOf(39'997), p(name(39'998)));
}

}  // namespace
}  // namespace kelmora
