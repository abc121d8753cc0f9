// SPDX-License-Identifier: MIT
#include <windows.h>  // first: commctrl.h builds on it

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "app/win32/DesignPlacement.h"
#include "app/win32/MainFrm.h"
#include "app/win32/WideText.h"
#include "platform/fake/FakeFileSystem.h"
#include "tests/support/IsolatedFileSystem.h"
#include "tests/win32/WinTree.h"
#include "tests/win32ui/Pixels.h"
#include "tests/win32ui/WindowDriver.h"
#include "window/DesignLayout.h"
#include "window/SizeText.h"

namespace kelmora {
namespace {

using platform::RemoveOutcome;
using platform::RemoveResult;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;
using win32ui::MainFrm;

// Counts the messages a control receives while it lives, by kind; the control works as before.
class MessageCounter {
  public:
    explicit MessageCounter(HWND control) : control_(control) {
        SetWindowSubclass(control_, &MessageCounter::proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~MessageCounter() { RemoveWindowSubclass(control_, &MessageCounter::proc, 1); }
    MessageCounter(const MessageCounter&) = delete;
    MessageCounter& operator=(const MessageCounter&) = delete;

    int count(UINT message) const {
        const auto found = counts_.find(message);
        return found == counts_.end() ? 0 : found->second;
    }
    // Rows added or removed while the list box redrew itself after each.
    int rowsChangedWhileRedrawing() const { return rowsChangedWhileRedrawing_; }

  private:
    static LRESULT CALLBACK proc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR self) {
        auto& counter = *reinterpret_cast<MessageCounter*>(self);
        ++counter.counts_[message];
        if (message == WM_SETREDRAW) counter.redrawing_ = wParam != FALSE;
        if ((message == LB_ADDSTRING || message == LB_INSERTSTRING || message == LB_DELETESTRING) &&
            counter.redrawing_)
            ++counter.rowsChangedWhileRedrawing_;
        return DefSubclassProc(control, message, wParam, lParam);
    }

    HWND control_;
    std::map<UINT, int> counts_;
    bool redrawing_ = true;
    int rowsChangedWhileRedrawing_ = 0;
};

// A remover that takes a little time per file and lets the test look at the window from inside
// the removal, between two files. Every file whose name ends in "0.tmp" is refused.
class SlowRemover : public platform::FileRemover {
  public:
    SlowRemover() : started_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~SlowRemover() override { CloseHandle(started_); }
    SlowRemover(const SlowRemover&) = delete;
    SlowRemover& operator=(const SlowRemover&) = delete;

    std::function<void(int call)> during;  // runs at the start of every call, numbered from 1
    std::atomic<int> calls{0};
    HANDLE started() const { return started_; }  // set as the first call begins

    RemoveResult deleteFile(const platform::ListedFile& file) override { return remove(file); }
    RemoveResult moveToTrash(const platform::ListedFile& file) override { return remove(file); }

  private:
    RemoveResult remove(const platform::ListedFile& file) {
        const int call = ++calls;
        if (call == 1) SetEvent(started_);
        if (during) during(call);
        Sleep(2);
        const bool refused = file.path.size() >= 5 && file.path.ends_with(L"0.tmp");
        return {refused ? RemoveOutcome::Refused : RemoveOutcome::Removed, 0};
    }
    HANDLE started_;
};

// The real main window under Wine, driven by its controls: buttons found by their captions, the
// list box by its class, the value labels by their control identifiers.
class MainWindow : public ::testing::Test {
  protected:
    void open(platform::Services services, NativeString root) {
        window = std::make_unique<MainFrm>(std::move(services), std::move(root));
        window->show();
    }
    void openOnFake() {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        fake = fs.get();
        fake->addFile(L"\\r.tmp", 2048);
        fake->addFile(L"\\A\\a.tmp", 1);
        fake->addFile(L"\\B\\b.tmp", 1);
        platform::Services services;
        services.fileSystem = std::move(fs);
        open(std::move(services), L"");
    }

    HWND button(const std::wstring& caption) {
        const HWND found = test::findChild(window->hwnd(), L"Button", caption);
        EXPECT_NE(found, nullptr) << "no button reads " << narrow(caption);
        return found;
    }
    bool hasLabel(const std::wstring& text) {
        return test::findChild(window->hwnd(), L"Static", text) != nullptr;
    }
    HWND control(std::string_view name) {
        return GetDlgItem(window->hwnd(), win32ui::controlId(kMainLayout, name));
    }
    std::wstring text(std::string_view name) { return test::textOf(control(name)); }
    HWND list() { return test::findChild(window->hwnd(), L"ListBox", L""); }
    std::wstring sizeOf(std::int64_t bytes) { return win32ui::widen(sizeText(bytes)); }
    POINT centreOfRow(int row) {
        SendMessageW(list(), LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
        RECT item{};
        SendMessageW(list(), LB_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    }
    // The picture the scan button shows, and the ones its two hidden holders keep.
    LRESULT scanPicture() { return SendMessageW(control("cmdScan"), BM_GETIMAGE, IMAGE_ICON, 0); }
    LRESULT holderPicture(std::string_view name) {
        return SendMessageW(control(name), STM_GETICON, 0, 0);
    }
    static std::string narrow(const std::wstring& text) {
        std::string out;
        for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }

    std::unique_ptr<MainFrm> window;
    platform::FakeFileSystem* fake = nullptr;
};

// Every caption the language switch sets, as the control shows it, and the glyphs of the window's
// font for it: a font without the Czech letters would draw boxes or other letters.
TEST_F(MainWindow, StartsInEnglishAndSwitchesEveryCaptionToCzechAndBack) {
    openOnFake();
    EXPECT_EQ(test::textOf(window->hwnd()), L"Kelmora");
    for (const wchar_t* caption : {L"Start scan", L"Select all", L"Deselect all", L"Erase",
                                   L"Move to bin", L"Česky", L"Help"})
        button(caption);
    for (const wchar_t* caption :
         {L"Stack usage", L"You will free :", L"You can free:", L"File name:"})
        EXPECT_TRUE(hasLabel(caption)) << narrow(caption);
    EXPECT_EQ(text("lblFreed"), L"0 KB");
    EXPECT_EQ(text("lblWill"), L"0 KB");
    EXPECT_EQ(text("lblWD"), L"");
    EXPECT_THAT(test::rowsOf(list()), IsEmpty());

    test::click(button(L"Česky"));
    const HDC dc = GetDC(window->hwnd());
    for (const wchar_t* caption : {L"Skenovat", L"Vybrat vše", L"Nevybrat nic", L"Smazat",
                                   L"Přesunout do koše", L"Nápověda", L"English"}) {
        const HWND shown = button(caption);
        if (!shown) continue;
        const auto font = reinterpret_cast<HFONT>(SendMessageW(shown, WM_GETFONT, 0, 0));
        const HGDIOBJ previous = SelectObject(dc, font);
        const std::wstring text = caption;
        std::vector<WORD> glyphs(text.size());
        ASSERT_EQ(GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                   GGI_MARK_NONEXISTING_GLYPHS),
                  text.size());
        EXPECT_THAT(glyphs, ::testing::Not(::testing::Contains(WORD{0xFFFF})))
            << "the window font lacks a letter of " << narrow(caption);
        SelectObject(dc, previous);
    }
    ReleaseDC(window->hwnd(), dc);
    for (const wchar_t* caption :
         {L"Využití zásobníku", L"Uvolníte:", L"Lze uvolnit:", L"Název souboru:"})
        EXPECT_TRUE(hasLabel(caption)) << narrow(caption);
    EXPECT_EQ(text("lblFreed"), L"0 KB");
    EXPECT_EQ(window->state().Lang, kCzech);

    test::click(button(L"English"));
    button(L"Start scan");
    button(L"Move to bin");
    EXPECT_EQ(window->state().Lang, kEnglish);
}

// A planted folder of the prefix's drive C: scanned with the real Win32 file system, rows toggled
// by mouse clicks, and both removals through the real Win32 remover.
TEST_F(MainWindow, ScansAPlantedFolderAndRemovesExactlyTheSelectedFiles) {
    test::WinTree tree;
    ASSERT_TRUE(tree.file(L"x.tmp", 1024));
    ASSERT_TRUE(tree.folder(L"A"));
    ASSERT_TRUE(tree.file(L"A\\b.bak", 2048));
    ASSERT_TRUE(tree.file(L"A\\c.txt", 10));
    ASSERT_TRUE(tree.folder(L"B"));
    ASSERT_TRUE(tree.file(L"B\\d.old", 4096));
    ASSERT_EQ(tree.root().substr(0, 3), L"C:\\");
    platform::Services services;
    services.fileSystem = test::makeIsolatedFileSystem();
    services.remover = platform::makeFileRemover();
    open(std::move(services), tree.root());

    test::click(button(L"Start scan"));
    const std::wstring x = tree.path(L"x.tmp"), b = tree.path(L"A\\b.bak"),
                       d = tree.path(L"B\\d.old");
    std::vector<std::wstring> rows = test::rowsOf(list());
    ASSERT_THAT(rows, UnorderedElementsAre(x, b, d));
    EXPECT_EQ(rows.front(), x);  // the root's files before anything below it
    EXPECT_EQ(text("lblFreed"), L"7 KB");
    button(L"Start scan");
    EXPECT_EQ(scanPicture(), holderPicture("imgGo"));
    for (std::string_view name : {"lstList", "cmdCA", "cmdDeselect", "cmdErase1", "cmdErase2"})
        EXPECT_TRUE(IsWindowEnabled(control(name))) << name;

    const auto rowOf = [&](const std::wstring& path) {
        const auto shown = test::rowsOf(list());
        return static_cast<int>(std::find(shown.begin(), shown.end(), path) - shown.begin());
    };
    test::clickRow(list(), rowOf(x));
    test::clickRow(list(), rowOf(d));
    EXPECT_EQ(text("lblWill"), L"5 KB");
    EXPECT_EQ(text("lblWD"), d);
    test::clickRow(list(), rowOf(x));  // a second click deselects it alone
    EXPECT_THAT(test::selectedRowsOf(list()), ElementsAre(rowOf(d)));
    EXPECT_EQ(text("lblWill"), L"4 KB");
    EXPECT_EQ(text("lblWD"), x);
    // Space toggles the current row as a click does, and the total follows each toggle.
    for (const wchar_t* total : {L"5 KB", L"4 KB"}) {
        SendMessageW(list(), WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(list(), WM_KEYUP, VK_SPACE, 0);
        EXPECT_EQ(text("lblWill"), total);
    }

    test::click(button(L"Erase"));
    EXPECT_FALSE(tree.exists(L"B\\d.old"));
    EXPECT_TRUE(tree.exists(L"x.tmp"));
    EXPECT_TRUE(tree.exists(L"A\\b.bak"));
    EXPECT_TRUE(tree.exists(L"A\\c.txt"));
    EXPECT_THAT(test::rowsOf(list()), UnorderedElementsAre(x, b));
    EXPECT_EQ(text("lblWill"), L"4 KB");  // the total stays until the list is clicked again

    test::click(button(L"Select all"));
    EXPECT_THAT(test::selectedRowsOf(list()), ElementsAre(0, 1));
    EXPECT_EQ(text("lblWill"), L"3 KB");
    // The bin takes both (under Wine, the shell's older call puts them in the freedesktop trash),
    // and their rows leave.
    test::click(button(L"Move to bin"));
    EXPECT_FALSE(tree.exists(L"x.tmp"));
    EXPECT_FALSE(tree.exists(L"A\\b.bak"));
    EXPECT_TRUE(tree.exists(L"A\\c.txt"));
    EXPECT_THAT(test::rowsOf(list()), IsEmpty());
    EXPECT_TRUE(window->state().Results.empty());

    test::click(button(L"Deselect all"));
    EXPECT_THAT(test::selectedRowsOf(list()), IsEmpty());
}

// A second click on the scan button, handled in the scan's first pause, stops the walk; the
// window shows the scanning state until then.
TEST_F(MainWindow, SecondClickStopsTheScanAndRestoresTheIdleButton) {
    openOnFake();
    bool checked = false;
    test::postAction([&] {
        EXPECT_NE(test::findChild(window->hwnd(), L"Button", L"Stop scan"), nullptr);
        EXPECT_EQ(scanPicture(), holderPicture("imgStop"));
        for (std::string_view name : {"lstList", "cmdCA", "cmdDeselect", "cmdErase1", "cmdErase2"})
            EXPECT_FALSE(IsWindowEnabled(control(name))) << name;
        EXPECT_TRUE(IsWindowEnabled(control("cmdLang")));
        test::click(button(L"Stop scan"));
        checked = true;
    });
    test::click(button(L"Start scan"));
    EXPECT_TRUE(checked);
    EXPECT_THAT(test::rowsOf(list()), ElementsAre(L"\\r.tmp"));
    EXPECT_EQ(fake->listedFolders().size(), 1u);
    EXPECT_EQ(text("lblFreed"), L"2 KB");
    button(L"Start scan");
    EXPECT_EQ(scanPicture(), holderPicture("imgGo"));
    EXPECT_TRUE(IsWindowEnabled(list()));
}

// A scan's changes reach the screen together, at most once per frame: with a frame longer than
// the whole scan, only its first pause and its end show, the list's rows join it with its
// redrawing off, and the end shows everything whole.
TEST_F(MainWindow, AScanReachesTheScreenAtTheDisplaysPaceAndEndsWhole) {
    auto fs = std::make_unique<platform::FakeFileSystem>();
    std::vector<std::wstring> paths;
    for (int folder = 0; folder < 60; ++folder)
        for (int file = 0; file < 20; ++file) {
            paths.push_back(L"\\F" + std::to_wstring(folder) + L"\\f" + std::to_wstring(file) +
                            L".tmp");
            fs->addFile(paths.back(), 1024);
        }
    platform::Services services;
    services.fileSystem = std::move(fs);
    open(std::move(services), L"");
    window->setFramePeriod(std::chrono::hours(1));
    MessageCounter listMessages(list()), freed(control("lblFreed")), pathLine(control("lblWD"));

    test::click(button(L"Start scan"));
    EXPECT_THAT(test::rowsOf(list()), UnorderedElementsAreArray(paths));
    EXPECT_EQ(text("lblFreed"), sizeOf(1024 * 1200));
    EXPECT_EQ(text("lblWD"), window->state().CurrentFolder);
    EXPECT_LE(freed.count(WM_SETTEXT), 3);     // not once per row: 1,200 of them
    EXPECT_LE(pathLine.count(WM_SETTEXT), 3);  // not once per folder: 61 of them
    EXPECT_LE(listMessages.count(WM_PAINT), 2);
    EXPECT_EQ(listMessages.rowsChangedWhileRedrawing(), 0);
}

// Through a long Erase the window answers the system (a message sent from another thread, as
// Windows does to tell a hung window), repaints and shows the rows leave, with the busy cursor;
// what the user clicks meanwhile is thrown away, a click sent to a button runs no handler, and a
// close waits until the removal has ended.
TEST_F(MainWindow, ARemovalKeepsAnsweringAndLetsNoInputOrHandlerThrough) {
    auto fs = std::make_unique<platform::FakeFileSystem>();
    for (int i = 0; i < 400; ++i) fs->addFile(L"\\r" + std::to_wstring(1000 + i) + L".tmp", 1);
    auto slow = std::make_unique<SlowRemover>();
    SlowRemover& remover = *slow;
    platform::Services services;
    services.fileSystem = std::move(fs);
    services.remover = std::move(slow);
    open(std::move(services), L"");
    test::click(button(L"Start scan"));
    test::click(button(L"Select all"));
    const HWND frame = window->hwnd();

    std::atomic<int> answeredAt{-1};
    std::atomic<bool> probed{false};
    std::thread system([&] {
        WaitForSingleObject(remover.started(), 30000);
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result))
            answeredAt = remover.calls.load();
        probed = true;
    });
    bool busyCursor = false, openMidway = false;
    int rowsMidway = 0, paintsMidway = 0;
    MessageCounter listMessages(list());
    remover.during = [&](int call) {
        if (call == 100) {
            busyCursor = GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
            // The user clicks the first row (kept, selected) and Deselect all.
            const POINT row = centreOfRow(0);
            PostMessageW(list(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(row.x, row.y));
            PostMessageW(list(), WM_LBUTTONUP, 0, MAKELPARAM(row.x, row.y));
            PostMessageW(button(L"Deselect all"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(button(L"Deselect all"), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            // A click that comes as a message to the button itself.
            test::click(button(L"Deselect all"));
            paintsMidway = -listMessages.count(WM_PAINT);
        } else if (call == 300) {
            paintsMidway += listMessages.count(WM_PAINT);
            rowsMidway = static_cast<int>(SendMessageW(list(), LB_GETCOUNT, 0, 0));
        }
    };
    test::click(button(L"Erase"));
    // The removal has ended: whatever the probe still waits for is answered now.
    while (!probed) {
        test::handlePendingMessages();
        Sleep(5);
    }
    system.join();
    EXPECT_TRUE(busyCursor);
    EXPECT_GE(answeredAt.load(), 1);
    EXPECT_LT(answeredAt.load(), 400) << "answered only once the removal had ended";
    EXPECT_LT(rowsMidway, 400);
    EXPECT_GT(paintsMidway, 0);
    // The 40 refused rows stay, all still selected, also once what was queued is handled.
    test::handlePendingMessages();
    EXPECT_EQ(test::rowsOf(list()).size(), 40u);
    EXPECT_EQ(test::selectedRowsOf(list()).size(), 40u);
    EXPECT_EQ(window->state().Results.size(), 40u);

    remover.during = [&](int call) {
        if (call == 410) SendMessageW(frame, WM_CLOSE, 0, 0);
        if (call == 430) openMidway = IsWindow(frame) != FALSE;
    };
    test::click(button(L"Move to bin"));
    EXPECT_TRUE(openMidway);
    EXPECT_FALSE(IsWindow(frame));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// Each way a user closes the window, mid-Erase: the input around it is thrown away, but the close
// is kept and carried out once the last row has gone. Meanwhile the list follows the walk, which
// began far below the page it showed, so that the rows in view move as they leave.
TEST_F(MainWindow, ACloseDuringAnEraseIsCarriedOutAfterTheLastRow) {
    const std::tuple<const char*, UINT, WPARAM, LPARAM> closes[] = {
        {"close box", WM_NCLBUTTONDOWN, HTCLOSE, 0},
        {"Alt+F4", WM_SYSKEYDOWN, VK_F4, MAKELPARAM(1, KF_ALTDOWN)},  // to the focused control
        {"system menu", WM_SYSCOMMAND, SC_CLOSE, 0}};
    for (const auto& [way, message, wParam, lParam] : closes) {
        SCOPED_TRACE(way);
        auto fs = std::make_unique<platform::FakeFileSystem>();
        for (int i = 0; i < 200; ++i) fs->addFile(L"\\r" + std::to_wstring(i) + L"1.tmp", 1);
        auto slow = std::make_unique<SlowRemover>();
        SlowRemover& remover = *slow;
        open({std::move(fs), std::move(slow), nullptr, nullptr}, L"");
        test::click(button(L"Start scan"));
        test::click(button(L"Select all"));
        const HWND frame = window->hwnd(), to = message == WM_SYSKEYDOWN ? GetFocus() : frame;
        bool openAtLast = false;
        LRESULT topMidway = 0;  // every row below the walk has gone: the list shows its last rows
        remover.during = [&](int call) {
            if (call == 50) PostMessageW(to, message, wParam, lParam);
            if (call == 150) topMidway = SendMessageW(list(), LB_GETTOPINDEX, 0, 0);
            if (call == 200) openAtLast = IsWindow(frame) != FALSE;
        };
        test::click(button(L"Erase"));
        EXPECT_TRUE(openAtLast);
        EXPECT_GT(topMidway, 20);
        EXPECT_FALSE(IsWindow(frame));
        MSG quit;
        EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    }
}

// A path too long for the list and the path line can still be read: the row's tooltip shows it
// whole, and the path line draws it with its middle left out, so that both ends show, while its
// text (what a screen reader reads) stays whole.
TEST_F(MainWindow, ALongPathShowsWholeInItsRowsTipAndElidedOnThePathLine) {
    std::wstring longPath;
    for (int level = 0; level < 8; ++level)
        longPath += L"\\Podklady k výročnímu sborníku, díl " + std::to_wstring(level + 1);
    longPath += L"\\koncept úvodu a poznámky.doc.bak";
    ASSERT_GT(longPath.size(), 300u);
    auto fs = std::make_unique<platform::FakeFileSystem>();
    fs->addFile(L"\\a.tmp", 1);
    fs->addFile(longPath, 1);
    platform::Services services;
    services.fileSystem = std::move(fs);
    open(std::move(services), L"");
    test::click(button(L"Start scan"));
    const std::vector<std::wstring> rows = test::rowsOf(list());
    ASSERT_THAT(rows, UnorderedElementsAre(L"\\a.tmp", longPath));

    const HWND tip = test::tooltipOf(window->hwnd());
    ASSERT_NE(tip, nullptr);
    for (int row = 0; row < 2; ++row) {
        const POINT at = centreOfRow(row);
        SendMessageW(list(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        EXPECT_EQ(test::tooltipText(tip, window->hwnd(), reinterpret_cast<UINT_PTR>(list())),
                  rows[static_cast<std::size_t>(row)]);
    }

    const int longRow = rows[0] == longPath ? 0 : 1;
    test::clickRow(list(), longRow);
    ASSERT_EQ(text("lblWD"), longPath);
    const HWND line = control("lblWD");
    const test::Pixels shown = test::paintWindow(line);
    const auto drawn = [&](UINT format) {
        return test::paint(shown.width, shown.height, [&](HDC dc) {
            const auto brush = reinterpret_cast<HBRUSH>(
                SendMessageW(window->hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(line)));
            RECT all{0, 0, shown.width, shown.height};
            FillRect(dc, &all, brush);
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)));
            DrawTextW(dc, longPath.c_str(), -1, &all,
                      DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX | format);
        });
    };
    const test::Pixels cutOff = drawn(0), elided = drawn(DT_SINGLELINE | DT_PATH_ELLIPSIS);
    ASSERT_TRUE(cutOff.values != elided.values) << "the path fits the line";
    EXPECT_TRUE(shown.values == elided.values) << "the path line is not drawn elided";
}

// Closing the window in the scan's pause ends the program: the walk goes no further, the window
// is gone and the program's message loop is told to end.
TEST_F(MainWindow, ClosingDuringAScanEndsTheProgramAtOnce) {
    openOnFake();
    const HWND frame = window->hwnd();
    test::postAction([&] { SendMessageW(frame, WM_CLOSE, 0, 0); });
    test::click(button(L"Start scan"));
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(fake->listedFolders().size(), 1u);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace kelmora
