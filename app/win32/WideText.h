// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kelmora::win32ui {

// The UTF-16 form of a UTF-8 text, for the W functions; invalid bytes become U+FFFD.
std::wstring widen(std::string_view utf8);

// The text a window shows (its caption, a label's or a button's text), read with GetWindowTextW.
std::wstring windowText(HWND window);

}  // namespace kelmora::win32ui
