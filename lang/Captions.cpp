// SPDX-License-Identifier: MIT
#include "lang/Captions.h"

namespace kelmora {

const std::array<CaptionPair, 11> kCaptionTable = {{
    {Control::cmdCA, "Vybrat vše", "Select all"},
    {Control::cmdDeselect, "Nevybrat nic", "Deselect all"},
    {Control::cmdErase1, "Smazat", "Erase"},
    {Control::cmdErase2, "Přesunout do koše", "Move to bin"},
    {Control::cmdScan, "Skenovat", "Start scan"},
    {Control::Command1, "Nápověda", "Help"},
    {Control::Label2, "Využití zásobníku", "Stack usage"},
    {Control::Label4, "Uvolníte:", "You will free :"},
    {Control::Label1, "Lze uvolnit:", "You can free:"},
    {Control::Label3, "Název souboru:", "File name:"},
    {Control::cmdLang, "English", "Česky"},
}};

std::string_view controlName(Control control) {
    static constexpr std::array<std::string_view, 11> kNames = {
        "cmdCA",  "cmdDeselect", "cmdErase1", "cmdErase2", "cmdScan", "Command1",
        "Label2", "Label4",      "Label1",    "Label3",    "cmdLang"};
    return kNames[static_cast<std::size_t>(control)];
}

std::string_view scanCaption(std::uint8_t lang, std::int16_t idle) {
    if (lang == kCzech) return idle != 0 ? "Skenovat" : "Zastavit";
    return idle != 0 ? "Start scan" : "Stop scan";
}

void switchLanguage(std::uint8_t& lang, std::int16_t idle, CaptionSink& sink) {
    const std::uint8_t shown = lang == kCzech ? kEnglish : kCzech;
    for (const auto& pair : kCaptionTable) {
        if (pair.control == Control::cmdScan)
            sink.setCaption(pair.control, scanCaption(shown, idle));
        else
            sink.setCaption(pair.control, shown == kCzech ? pair.czech : pair.english);
    }
    lang = shown;
}

}  // namespace kelmora
