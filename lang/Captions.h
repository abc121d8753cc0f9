// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kelmora {

// The main window's controls whose captions change with the language, in the order the switch
// captions them.
enum class Control : std::uint8_t {
    cmdCA,
    cmdDeselect,
    cmdErase1,
    cmdErase2,
    cmdScan,
    Command1,
    Label2,
    Label4,
    Label1,
    Label3,
    cmdLang,
};

// The control's name, which is also its objectName in the window.
std::string_view controlName(Control control);

// Language flag values; any value other than kCzech means English.
inline constexpr std::uint8_t kCzech = 1;
inline constexpr std::uint8_t kEnglish = 2;

// A control's caption in both languages (UTF-8). For cmdScan this is its caption while idle.
struct CaptionPair {
    Control control;
    std::string_view czech;
    std::string_view english;
};

// Every captioned control once, in switch order.
extern const std::array<CaptionPair, 11> kCaptionTable;

// The scan button's caption for language `lang`: the start caption while `idle` is nonzero, the
// stop caption while a scan runs.
std::string_view scanCaption(std::uint8_t lang, std::int16_t idle);

// Where the switch puts its captions: the main window, or a test's record of it.
class CaptionSink {
  public:
    virtual ~CaptionSink() = default;
    virtual void setCaption(Control control, std::string_view utf8) = 0;
};

// The language button's click: gives every control of the table its caption in the other language
// (cmdScan by `idle`), then flips `lang` between kCzech and kEnglish. Start-up runs it once with
// `lang` = kCzech so that every run begins in English.
void switchLanguage(std::uint8_t& lang, std::int16_t idle, CaptionSink& sink);

}  // namespace kelmora
