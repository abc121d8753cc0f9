#pragma once

#include <windows.h>

#include <array>
#include <string_view>

#include "app/win32/GdiHandle.h"
#include "platform/Platform.h"
#include "scan/Scan.h"
#include "window/MainState.h"
#include "window/MainView.h"

namespace kelmora::win32ui {

// The main window on Windows, built of the system's own controls: owns the shared state for the
// life of the program and shows it. Its handlers are the core's (the scan, the selection, the
// removal, the language switch); this class only wires controls to them.
//
// The controls are children of the window identified by controlId(kMainLayout, name): BUTTONs
// whose window text is their caption (owner-drawn, see PictureButton.h), one LISTBOX with simple
// multiple selection (LBS_MULTIPLESEL), STATIC labels, the gauge frame Picture1 (a STATIC that
// clips the bar sLevel inside it) and the hidden STATIC icon holders imgGo and imgStop.
//
// Use on one thread, which must run a message loop; see handlePendingMessages for what the scan
// does with that loop's messages.
class MainFrm : public MainView {
  public:
    // Creates the window, hidden, and runs start-up (idle, the mask table, then the language
    // switch once from Czech, so that every run begins in English). `services` reach the operating
    // system and `root` is the drive root in its no-trailing-separator form: the program passes
    // the real ones, tests a temporary folder or fakes. `services.fileSystem` must be set; without
    // `services.remover` every removal is refused.
    MainFrm(platform::Services services, NativeString root);
    // Destroys the window if the user has not closed it; posts no WM_QUIT.
    ~MainFrm() override;
    MainFrm(const MainFrm&) = delete;
    MainFrm& operator=(const MainFrm&) = delete;

    // Shows the window with the keyboard focus on the scan button.
    void show(int showCommand = SW_SHOWNORMAL);
    // The top-level window; it no longer exists once the user has closed it.
    HWND hwnd() const { return hwnd_; }
    const MainState& state() const { return state_; }

    // MainView
    void setCaption(Control control, std::string_view utf8) override;
    void setScanPicture(ScanPicture picture) override;
    void setListControlsEnabled(bool enabled) override;
    void setFreedText(std::string_view utf8) override;
    void setWillText(std::string_view utf8) override;
    void setPathLine(const NativeString& path) override;
    void clearRows() override;
    void appendRow(const NativeString& path) override;
    void removeRow(std::size_t row) override;
    std::vector<std::size_t> selectedRows() const override;
    void setAllRowsSelected(bool selected) override;
    std::optional<std::size_t> currentRow() const override;
    void setGaugeWidth(int twips) override;

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void buildControls();
    void command(int id, int code);
    HBRUSH controlColour(HDC dc, HWND control);
    void handlePendingMessages();
    void cmdLangClick();
    void Command1Click();
    void close();
    HWND control(std::string_view name) const;

    MainState state_;
    platform::Services services_;
    Scan scan_;

    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    HWND focus_ = nullptr;  // the control that had the focus when the window was last deactivated
    HWND cmdScan_ = nullptr;
    HWND lstList_ = nullptr;
    HWND lblFreed_ = nullptr;
    HWND lblWill_ = nullptr;
    HWND lblWD_ = nullptr;
    HWND Picture1_ = nullptr;
    HWND sLevel_ = nullptr;
    HWND imgGo_ = nullptr;  // hidden holders of the scan button's two pictures
    HWND imgStop_ = nullptr;

    GdiHandle<HFONT> font_;
    GdiHandle<HFONT> boldFont_;
    GdiHandle<HBRUSH> green_;
    GdiHandle<HBRUSH> yellow_;
    GdiHandle<HBRUSH> blue_;
    std::array<IconHandle, 6> pictures_;  // the buttons' and holders' pictures, kept while shown
};

}  // namespace kelmora::win32ui
