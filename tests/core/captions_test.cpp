// SPDX-License-Identifier: MIT
#include "lang/Captions.h"

#include <gtest/gtest.h>

#include "tests/support/RecordingView.h"

namespace kelmora {
namespace {

TEST(LanguageSwitch, FromCzechGivesEveryEnglishCaption) {
    test::RecordingView view;
    std::uint8_t lang = kCzech;
    switchLanguage(lang, 1, view);
    EXPECT_EQ(lang, kEnglish);
    const std::map<Control, std::string> english = {
        {Control::cmdCA, "Select all"},     {Control::cmdDeselect, "Deselect all"},
        {Control::cmdErase1, "Erase"},      {Control::cmdErase2, "Move to bin"},
        {Control::cmdScan, "Start scan"},   {Control::Command1, "Help"},
        {Control::Label2, "Stack usage"},   {Control::Label4, "You will free :"},
        {Control::Label1, "You can free:"}, {Control::Label3, "File name:"},
        {Control::cmdLang, "Česky"}};
    EXPECT_EQ(view.captions, english);
}

TEST(LanguageSwitch, SecondSwitchGivesEveryCzechCaption) {
    test::RecordingView view;
    std::uint8_t lang = kCzech;
    switchLanguage(lang, 1, view);
    switchLanguage(lang, 1, view);
    EXPECT_EQ(lang, kCzech);
    const std::map<Control, std::string> czech = {
        {Control::cmdCA, "Vybrat vše"},         {Control::cmdDeselect, "Nevybrat nic"},
        {Control::cmdErase1, "Smazat"},         {Control::cmdErase2, "Přesunout do koše"},
        {Control::cmdScan, "Skenovat"},         {Control::Command1, "Nápověda"},
        {Control::Label2, "Využití zásobníku"}, {Control::Label4, "Uvolníte:"},
        {Control::Label1, "Lze uvolnit:"},      {Control::Label3, "Název souboru:"},
        {Control::cmdLang, "English"}};
    EXPECT_EQ(view.captions, czech);
}

TEST(LanguageSwitch, ScanButtonFollowsTheScanState) {
    test::RecordingView view;
    std::uint8_t lang = kEnglish;
    switchLanguage(lang, 0, view);
    EXPECT_EQ(view.captions[Control::cmdScan], "Zastavit");
    switchLanguage(lang, 0, view);
    EXPECT_EQ(view.captions[Control::cmdScan], "Stop scan");
}

TEST(LanguageSwitch, AnyValueButCzechReadsAsEnglish) {
    EXPECT_EQ(scanCaption(0, 1), "Start scan");
    EXPECT_EQ(scanCaption(7, 0), "Stop scan");
    test::RecordingView view;
    std::uint8_t lang = 0;  // not Czech: the switch goes to Czech
    switchLanguage(lang, 1, view);
    EXPECT_EQ(lang, kCzech);
    EXPECT_EQ(view.captions[Control::cmdLang], "English");
}

TEST(LanguageSwitch, ControlNamesAreTheObjectNames) {
    EXPECT_EQ(controlName(Control::cmdCA), "cmdCA");
    EXPECT_EQ(controlName(Control::Command1), "Command1");
    EXPECT_EQ(controlName(Control::cmdLang), "cmdLang");
    for (const auto& pair : kCaptionTable) EXPECT_FALSE(controlName(pair.control).empty());
}

}  // namespace
}  // namespace kelmora
