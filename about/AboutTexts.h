// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelmora {

// The application title, the About box's heading and the message box's caption.
inline constexpr std::string_view kApplicationTitle = "Kelmora";

// The texts of the About box that are the same in both languages (UTF-8).
inline constexpr std::string_view kAuthorLine = "Author: Kelmora Developers";
inline constexpr std::string_view kAuthorEmail = "kelmora@example.org";
inline constexpr std::string_view kWebAddress = "kelmora.example.org";
inline constexpr std::string_view kSysInfoCaption = "&Systém...";  // the S is the mnemonic
inline constexpr std::string_view kOkCaption = "OK";

// The About box's texts that follow the main window's language (UTF-8).
struct AboutTexts {
    std::string_view description;  // ends with a colon: the e-mail address stands below it
    std::string web;               // the web line: a lead-in and kWebAddress
    std::string_view caution;      // empty in both languages
};

// The texts for `lang`: Czech when it is exactly kCzech, English for any other value.
AboutTexts aboutTexts(std::uint8_t lang);

// "About " and the application title; English in both languages.
std::string aboutCaption();

// "Version major.minor.revision", each number in plain decimal.
std::string versionLine(int major, int minor, int revision);

}  // namespace kelmora
