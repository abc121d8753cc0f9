// SPDX-License-Identifier: MIT
#include "about/AboutTexts.h"

#include "lang/Captions.h"

namespace kelmora {
namespace {

constexpr std::string_view kCzechDescription =
    "Tento freewarový program Vám pomůže s čištěním disku. Kliknutím na Skenovat spustíte "
    "hledaní nepotřebných a dočasných souborů , které lze bez starosti vymazat. Pokud si nejste "
    "jisti, můžete soubor jen vymazat do koše, odkud je možné ho potom obnovit. Vaše názory "
    "mailujte na:";
constexpr std::string_view kEnglishDescription =
    "This freeware will help with the cleaning of your hard disc. Click on Start scan to start "
    "searching for unnecessary and temporary files, which can be deleted. If you are not sure, "
    "you can move the files to bin, from where they can be later retrieved. You comments please "
    "mail on:";

}  // namespace

AboutTexts aboutTexts(std::uint8_t lang) {
    if (lang == kCzech)
        return {kCzechDescription, "více informací na " + std::string(kWebAddress), ""};
    return {kEnglishDescription, "more information on " + std::string(kWebAddress), ""};
}

std::string aboutCaption() { return "About " + std::string(kApplicationTitle); }

std::string versionLine(int major, int minor, int revision) {
    return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." +
           std::to_string(revision);
}

}  // namespace kelmora
