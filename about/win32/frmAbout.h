// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "about/SysInfo.h"
#include "app/win32/GdiHandle.h"
#include "platform/SystemInfo.h"

namespace kelmora::win32ui {

// The About dialog on Windows: title, version, author, description and web line in the main
// window's language, the logo, and a button that starts the system information tool. Built for
// one opening and discarded when it closes; its texts follow `Lang` as it was when it was built.
// OK, Enter, Esc and the close box close it; the system information button (Alt+S) leaves it
// open. A dialog of the system's dialog manager: its controls are children identified by
// controlId(kAboutLayout, name), but cmdOK, which is IDOK.
class frmAbout : private MessageSink {
  public:
    // `registry` and `starter` may be null (the platform has none); both must outlive the dialog.
    frmAbout(std::uint8_t Lang, platform::Registry* registry, platform::ProgramStarter* starter);
    frmAbout(const frmAbout&) = delete;
    frmAbout& operator=(const frmAbout&) = delete;

    // Shows the dialog modally and returns once it has closed. `owner`, the main window, takes
    // no input meanwhile; null leaves every window of the program usable.
    void showModal(HWND owner);

    // The system information button's handler: starts the tool or shows that it is unavailable.
    void StartSysInfo();
    // One registry value, decoded; see kelmora::GetKeyValue.
    bool GetKeyValue(std::int32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);

  private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void placeWindow();
    void buildControls();
    void load();
    HBRUSH controlColour(HDC dc, HWND control);
    // The bold labels are drawn by the dialog, bold also where the font's bold face is not.
    void drawBoldLabel(const DRAWITEMSTRUCT& item);
    // The program's one message box: a single OK button, no icon, the application title as its
    // caption, modal to the dialog.
    void showMessage(std::string_view utf8) override;

    std::uint8_t lang_;
    platform::Registry* registry_;
    platform::ProgramStarter* starter_;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    GdiHandle<HFONT> text_;
    GdiHandle<HFONT> bold_;
    GdiHandle<HFONT> title_;
    int boldOverstrike_ = 0, titleOverstrike_ = 0;  // see boldOverstrike
    GdiHandle<HBRUSH> background_;
    GdiHandle<HBITMAP> logo_;
    std::array<HWND, 2> lineWindows_{};       // the etched separator's two lines
    std::array<GdiHandle<HBRUSH>, 2> lines_;  // and their colours
};

}  // namespace kelmora::win32ui
