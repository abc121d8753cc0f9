// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "about/AboutLayout.h"
#include "about/AboutTexts.h"
#include "about/SysInfo.h"
#include "app/win32/DesignFont.h"
#include "app/win32/DesignPlacement.h"
#include "app/win32/MainFrm.h"
#include "app/win32/WideText.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeProgramStarter.h"
#include "platform/fake/FakeRegistry.h"
#include "tests/win32ui/Pixels.h"
#include "tests/win32ui/WindowDriver.h"

namespace kelmora {
namespace {

using win32ui::widen;

std::wstring aboutText(HWND about, std::string_view name) {
    return test::textOf(GetDlgItem(about, win32ui::controlId(kAboutLayout, name)));
}

// How many more dark pixels a label of the About box shows than its text in the regular weight of
// `points`.
double boldness(HWND about, std::string_view name, double points) {
    const HWND label = GetDlgItem(about, win32ui::controlId(kAboutLayout, name));
    const test::Pixels shown = test::paintWindow(label);
    const auto font = createDesignFont(points, win32ui::FontWeight::Regular, win32ui::systemDpi());
    const test::Pixels plain = test::paint(shown.width, shown.height, [&](HDC dc) {
        SelectObject(dc, font.get());
        RECT all{0, 0, shown.width, shown.height};
        DrawTextW(dc, test::textOf(label).c_str(), -1, &all, DT_WORDBREAK | DT_NOPREFIX);
    });
    return static_cast<double>(shown.darkPixels()) / plain.darkPixels();
}

// The About box opened from the real main window under Wine, in its real modal loop, answered
// from a timer: its texts as shown, in the language of the moment it opens, and the program's one
// message from its system information button, on a machine whose registry knows no such tool.
TEST(AboutBox, ShowsTheVersionInTheWindowsLanguageAndAnswersTheSystemButton) {
    platform::Services services;
    services.fileSystem = std::make_unique<platform::FakeFileSystem>();
    services.registry = std::make_unique<platform::FakeRegistry>();
    services.starter = std::make_unique<platform::FakeProgramStarter>();
    win32ui::MainFrm window(std::move(services), L"");
    window.show();
    const HWND help = test::findChild(window.hwnd(), L"Button", L"Help");
    ASSERT_NE(help, nullptr);

    {
        test::ModalAnswerer answer(L"About Kelmora", [&](HWND about) {
            EXPECT_FALSE(IsWindowEnabled(window.hwnd())) << "the main window takes input";
            EXPECT_EQ(aboutText(about, "lblVersion"), L"Version 0.71.25");
            EXPECT_EQ(aboutText(about, "lblTitle"), L"Kelmora");
            EXPECT_GE(boldness(about, "lblTitle", kAboutTitlePoints), 1.2);
            EXPECT_GE(boldness(about, "lblVersion", kAboutTextPoints), 1.2);
            EXPECT_EQ(aboutText(about, "lblDescription"), widen(aboutTexts(kEnglish).description));
            EXPECT_EQ(aboutText(about, "web"), widen(aboutTexts(kEnglish).web));
            EXPECT_NE(test::findChild(about, L"Button", L"&Systém..."), nullptr);
            test::click(test::findChild(about, L"Button", L"OK"));
        });
        test::click(help);
        EXPECT_TRUE(answer.answered());
    }
    EXPECT_TRUE(IsWindowEnabled(window.hwnd()));

    test::click(test::findChild(window.hwnd(), L"Button", L"Česky"));
    const HWND czechHelp = test::findChild(window.hwnd(), L"Button", L"Nápověda");
    ASSERT_NE(czechHelp, nullptr);
    bool stillOpen = false;
    test::ModalAnswerer answer(L"About Kelmora", [&](HWND about) {
        EXPECT_EQ(aboutText(about, "lblDescription"), widen(aboutTexts(kCzech).description));
        EXPECT_EQ(aboutText(about, "web"), widen(aboutTexts(kCzech).web));
        {
            test::ModalAnswerer message(L"Kelmora", [](HWND box) {
                EXPECT_NE(test::findChild(box, L"Static", widen(kSysInfoUnavailable)), nullptr);
                test::click(GetDlgItem(box, IDOK));
            });
            test::click(test::findChild(about, L"Button", L"&Systém..."));
            EXPECT_TRUE(message.answered());
        }
        stillOpen = IsWindowVisible(about) != FALSE;
        // Esc, as the dialog manager receives it, closes the box.
        PostMessageW(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    test::click(czechHelp);
    EXPECT_TRUE(answer.answered());
    EXPECT_TRUE(stillOpen) << "the system button closed the About box";
}

}  // namespace
}  // namespace kelmora
