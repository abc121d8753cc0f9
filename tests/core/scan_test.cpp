// SPDX-License-Identifier: MIT
#include "scan/Scan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "platform/fake/FakeFileSystem.h"
#include "scan/Masks.h"
#include "tests/support/RecordingView.h"

namespace kelmora {
namespace {

using platform::FakeFileSystem;
using ::testing::ElementsAre;

// A path in native form from a "/"-separated text.
NativeString p(std::string text) {
    for (auto& c : text)
        if (c == '/') c = static_cast<char>(kSeparator);
    return fromAscii(text);
}

class ScanTest : public ::testing::Test {
  protected:
    ScanTest() : scan(state, view, fs, NativeString{}, [this] { pause(); }) {
        state.Idle = 1;
        state.Lang = kEnglish;
        state.Masks = nativeMaskTable();
    }

    void pause() {
        ++pauses;
        if (onPause) onPause(pauses);
    }

    std::vector<NativeString> paths() const {
        std::vector<NativeString> out;
        for (std::size_t i = 0; i < state.Results.size(); ++i)
            out.push_back(state.Results.pathOf(i));
        return out;
    }

    FakeFileSystem fs;
    test::RecordingView view;
    MainState state;
    Scan scan;
    int pauses = 0;
    std::function<void(int)> onPause;
};

TEST_F(ScanTest, ListsMatchingFilesWithSizesAndRunningTotal) {
    fs.addFile(p("/x.tmp"), 1000);
    fs.addFile(p("/notes.txt"), 50);
    fs.addFile(p("/A/b.bak"), 2000);
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/x.tmp"), p("/A/b.bak")));
    EXPECT_EQ(view.rows, paths());
    EXPECT_EQ(state.Results[0].size, 1000);
    EXPECT_EQ(state.Results[1].size, 2000);
    EXPECT_EQ(state.FoundBytes, 3000);
    EXPECT_EQ(view.freed, "2 KB");
    EXPECT_EQ(view.pathLine, p("/A/"));
    EXPECT_EQ(fs.scansBegun(), 1);
    EXPECT_EQ(fs.scansEnded(), 1);
}

TEST_F(ScanTest, StartsWithStopCaptionDisabledListAndZeroTotals) {
    fs.addFile(p("/x.tmp"), 4096);
    view.will = "9 KB";
    onPause = [&](int) {
        EXPECT_EQ(view.captions[Control::cmdScan], "Stop scan");
        EXPECT_EQ(view.picture, ScanPicture::Stop);
        EXPECT_FALSE(view.listControlsEnabled);
        EXPECT_EQ(view.will, "0 KB");
        EXPECT_EQ(state.Idle, 0);
    };
    scan.click();
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(view.captions[Control::cmdScan], "Start scan");
    EXPECT_EQ(view.picture, ScanPicture::Go);
    EXPECT_TRUE(view.listControlsEnabled);
    EXPECT_EQ(state.Idle, 1);
    EXPECT_EQ(view.freed, "4 KB");
}

TEST_F(ScanTest, WalksDepthFirstVisitingSubfoldersInReverseListingOrder) {
    for (const char* name : {"/A/a.tmp", "/A/deep/d.tmp", "/B/b.tmp", "/C/c.tmp", "/C/sub/s.tmp"})
        fs.addFile(p(name), 1);
    fs.addFile(p("/root.tmp"), 1);
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/root.tmp"), p("/C/c.tmp"), p("/C/sub/s.tmp"),
                                     p("/B/b.tmp"), p("/A/a.tmp"), p("/A/deep/d.tmp")));
    EXPECT_THAT(fs.listedFolders(),
                ElementsAre(p("/"), p("/C/"), p("/C/sub/"), p("/B/"), p("/A/"), p("/A/deep/")));
}

TEST_F(ScanTest, ListsMaskByMaskInTableOrderThenListingOrder) {
    fs.addFile(p("/z.tmp"), 1);
    fs.addFile(p("/a.bak"), 1);
    fs.addFile(p("/y.tmp"), 1);
    fs.addFile(p("/m.---"), 1);
    fs.addFile(p("/q.~ab"), 1);
    scan.click();
    EXPECT_THAT(paths(),
                ElementsAre(p("/m.---"), p("/q.~ab"), p("/a.bak"), p("/z.tmp"), p("/y.tmp")));
}

TEST_F(ScanTest, HiddenAndSystemFilesListedSystemFoldersNotEntered) {
    fs.addFile(p("/h.tmp"), 1, /*hidden=*/true);
    fs.addFile(p("/s.tmp"), 1, false, /*system=*/true);
    fs.addFolder(p("/Hidden"), /*hidden=*/true);
    fs.addFile(p("/Hidden/in.tmp"), 1);
    fs.addFolder(p("/Sys"), false, /*system=*/true);
    fs.addFile(p("/Sys/never.tmp"), 1);
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/h.tmp"), p("/s.tmp"), p("/Hidden/in.tmp")));
}

TEST_F(ScanTest, FoldersNamedLikeMasksAreEnteredNotListedAndOthersNeverListed) {
    fs.addFolder(p("/old.tmp"));
    fs.addFile(p("/old.tmp/inside.bak"), 3);
    fs.addOther(p("/link.tmp"));  // a link, FIFO or device: never a file to offer
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/old.tmp/inside.bak")));
}

TEST_F(ScanTest, DotEntriesAreNeverPushed) {
    fs.listDotEntries(true);
    fs.addFile(p("/A/a.tmp"), 1);
    scan.click();
    EXPECT_THAT(fs.listedFolders(), ElementsAre(p("/"), p("/A/")));
    EXPECT_THAT(paths(), ElementsAre(p("/A/a.tmp")));
}

TEST_F(ScanTest, UnreadableFoldersAndVanishedFilesAreSkipped) {
    fs.addFile(p("/Locked/l.tmp"), 1);
    fs.failOpen(p("/Locked"));
    fs.addFile(p("/Half/1.tmp"), 1);
    fs.addFile(p("/Half/2.tmp"), 1);
    fs.addFile(p("/Half/Sub/3.tmp"), 1);
    fs.failAfter(p("/Half"), 1);  // the listing breaks after its first entry
    fs.addFile(p("/gone.tmp"), 5000);
    fs.vanishAfterListing(p("/gone.tmp"));
    fs.addFile(p("/kept.tmp"), 7);
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/kept.tmp"), p("/Half/1.tmp")));
    EXPECT_EQ(state.FoundBytes, 8);
    EXPECT_EQ(view.rows.size(), state.Results.size());
}

TEST_F(ScanTest, FilesOfInstalledSoftwareAreNeverListed) {
    fs.addFile(p("/lib/libnss.chk"), 900);
    fs.addFile(p("/lib/mine.chk"), 100);
    fs.protect(p("/lib/libnss.chk"));
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/lib/mine.chk")));
    EXPECT_EQ(state.FoundBytes, 100);
}

TEST_F(ScanTest, TotalsGoPastThirtyTwoBitsAndStopAtTheSixtyFourBitMaximum) {
    fs.addFile(p("/big.tmp"), 3LL * 1024 * 1024 * 1024);
    fs.addFile(p("/big2.tmp"), 2147483647LL);
    scan.click();
    EXPECT_EQ(state.FoundBytes, 3LL * 1024 * 1024 * 1024 + 2147483647LL);
    EXPECT_EQ(view.freed, "5242879 KB");

    // Sparse files can claim sizes close to the limit: the total stays there, rows are kept.
    const std::int64_t most = std::numeric_limits<std::int64_t>::max();
    fs.addFile(p("/A/huge.tmp"), most - 5);
    fs.addFile(p("/B/huge.tmp"), most);
    fs.addFile(p("/B/small.tmp"), 1);
    scan.click();
    EXPECT_EQ(state.Results.size(), 5U);
    EXPECT_EQ(state.FoundBytes, most);
    EXPECT_EQ(view.freed, std::to_string(most / 1024) + " KB");
}

TEST_F(ScanTest, RowsCarryIdentitiesAndAFolderChangedSinceItsListingIsPassedOver) {
    fs.addFile(p("/A/a.tmp"), 1);
    fs.addFile(p("/B/b.tmp"), 1);
    onPause = [&](int n) {
        if (n == 1) fs.replaceFolder(p("/A"));  // A and B wait on the stack, as listed
    };
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/B/b.tmp")));
    EXPECT_THAT(fs.listedFolders(), ElementsAre(p("/"), p("/B/"), p("/A/")));
    EXPECT_EQ(state.Results[0].file, fs.identityOf(p("/B/b.tmp")));
    EXPECT_EQ(state.Results.listed(0).folder, fs.identityOf(p("/B")));
}

TEST_F(ScanTest, GaugeFollowsWaitingFoldersAndEndsAtZero) {
    for (int i = 0; i < 300; ++i) fs.addFolder(p("/F" + std::to_string(i)));
    scan.click();
    ASSERT_GE(view.gaugeWidths.size(), 2U);
    EXPECT_EQ(view.gaugeWidths[0], 1612);   // 300 waiting: 20 twips short of the frame
    EXPECT_EQ(view.gaugeWidths[150], 806);  // 150 waiting
    EXPECT_EQ(view.gaugeWidths.back(), 0);
    EXPECT_EQ(state.GaugeWidth, 0);
}

TEST_F(ScanTest, FullStackSpillsFoldersAndStillVisitsThemAll) {
    // 1100 subfolders of the root: 1001 fit on the stack, 99 wait in the spill store.
    for (int i = 0; i < 1100; ++i) fs.addFile(p("/F" + std::to_string(i) + "/x.tmp"), 1);
    int maxLevel = 0;
    onPause = [&](int) { maxLevel = std::max<int>(maxLevel, state.Folders->getLevel()); };
    scan.click();
    EXPECT_EQ(state.Results.size(), 1100U);
    EXPECT_EQ(maxLevel, 1001);
    EXPECT_TRUE(state.Spill.empty());
    // Within what fitted the order is unchanged: last pushed first.
    EXPECT_EQ(state.Results.pathOf(0), p("/F1000/x.tmp"));
    EXPECT_EQ(state.Results.pathOf(1000), p("/F0/x.tmp"));
    // Then the spilled ones, pushed back in the order kept, so the last kept comes first.
    EXPECT_EQ(state.Results.pathOf(1001), p("/F1099/x.tmp"));
    EXPECT_EQ(state.Results.pathOf(1099), p("/F1001/x.tmp"));
}

TEST_F(ScanTest, SecondClickInThePauseStopsAndKeepsRowsSoFar) {
    fs.addFile(p("/r.tmp"), 2048);
    fs.addFile(p("/A/a.tmp"), 1);
    fs.addFile(p("/B/b.tmp"), 1);
    onPause = [&](int n) {
        if (n != 1) return;
        scan.click();
        // The file system hears of the stop at once, not when the interrupted pass ends.
        EXPECT_EQ(fs.scansEnded(), 1);
    };
    scan.click();
    EXPECT_EQ(pauses, 1);
    EXPECT_THAT(paths(), ElementsAre(p("/r.tmp")));
    EXPECT_EQ(view.freed, "2 KB");
    EXPECT_EQ(view.captions[Control::cmdScan], "Start scan");
    EXPECT_EQ(view.picture, ScanPicture::Go);
    EXPECT_TRUE(view.listControlsEnabled);
    EXPECT_EQ(view.gaugeWidths.back(), 0);

    // The next click starts again from the root.
    onPause = nullptr;
    scan.click();
    EXPECT_THAT(paths(), ElementsAre(p("/r.tmp"), p("/B/b.tmp"), p("/A/a.tmp")));
}

TEST_F(ScanTest, StopEmptiesTheSpillStoreToo) {
    for (int i = 0; i < 1100; ++i) fs.addFolder(p("/F" + std::to_string(i)));
    onPause = [&](int n) {
        if (n == 1) {
            EXPECT_EQ(state.Spill.size(), 99U);
            scan.click();
        }
    };
    scan.click();
    EXPECT_EQ(pauses, 1);
    EXPECT_TRUE(state.Spill.empty());
    EXPECT_TRUE(state.Folders->isEmpty());
}

TEST_F(ScanTest, StopThenStartInOnePauseRunsTheNewScanToItsEnd) {
    for (int i = 0; i < 1010; ++i) fs.addFolder(p("/F" + std::to_string(i)));
    fs.addFile(p("/F5/x.tmp"), 1);
    bool restarted = false;
    onPause = [&](int) {
        if (restarted) return;
        restarted = true;
        scan.click();  // stop
        scan.click();  // start again: runs to its end inside this pause
        EXPECT_EQ(state.Idle, 1);
    };
    scan.click();
    EXPECT_EQ(state.Idle, 1);
    EXPECT_THAT(paths(), ElementsAre(p("/F5/x.tmp")));
    EXPECT_EQ(pauses, 1 + 1011);  // the outer root pass, then every folder of the new scan
    EXPECT_EQ(view.captions[Control::cmdScan], "Start scan");
}

TEST_F(ScanTest, LanguageSwitchDuringTheScanCaptionsTheStopButton) {
    fs.addFolder(p("/A"));
    onPause = [&](int n) {
        if (n == 1) {
            switchLanguage(state.Lang, state.Idle, view);
            EXPECT_EQ(view.captions[Control::cmdScan], "Zastavit");
        }
    };
    scan.click();
    EXPECT_EQ(view.captions[Control::cmdScan], "Skenovat");
}

}  // namespace
}  // namespace kelmora
