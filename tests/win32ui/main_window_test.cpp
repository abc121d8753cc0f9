#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/win32/DesignPlacement.h"
#include "app/win32/MainFrm.h"
#include "platform/fake/FakeFileSystem.h"
#include "tests/support/IsolatedFileSystem.h"
#include "tests/win32/WinTree.h"
#include "tests/win32ui/WindowDriver.h"
#include "window/DesignLayout.h"

namespace kelmora {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using win32ui::MainFrm;

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
    // The bin takes a file or refuses it, as the Win32 layer reports (Wine 8 has no working
    // shell file operation and refuses); either way a row stays exactly while its file does,
    // still selected.
    test::click(button(L"Move to bin"));
    rows = test::rowsOf(list());
    for (const auto& [rel, path] : {std::pair{L"x.tmp", x}, std::pair{L"A\\b.bak", b}})
        EXPECT_EQ(std::count(rows.begin(), rows.end(), path) == 1, tree.exists(rel))
            << narrow(path);
    EXPECT_EQ(test::selectedRowsOf(list()).size(), rows.size());

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
