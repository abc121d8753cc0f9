// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/win32/GdiHandle.h"
#include "app/win32/PacedList.h"
#include "app/win32/RowTip.h"
#include "platform/Platform.h"
#include "results/Removal.h"
#include "scan/Scan.h"
#include "window/FramePacing.h"
#include "window/MainState.h"
#include "window/MainView.h"

namespace kelmora::win32ui {

// The main window on Windows, built of the system's own controls: owns the shared state for the
// life of the program and shows it. Its handlers are the core's (the scan, the selection, the
// removal, the language switch); this class only wires controls to them.
//
// The controls are children of the window identified by controlId(kMainLayout, name): BUTTONs
// whose window text is their caption (owner-drawn, see PictureButton.h), one LISTBOX with simple
// multiple selection (LBS_MULTIPLESEL) and a tooltip that shows a row's whole path (RowTip),
// STATIC labels (the three bold ones drawn by the window, see boldOverstrike; lblWD draws a path
// too long for it with its middle left out, SS_PATHELLIPSIS, while its window text stays whole),
// the gauge frame Picture1 (a STATIC that clips the bar sLevel inside it) and the hidden STATIC
// icon holders imgGo and imgStop.
//
// While a scan or a removal runs, the rows, the path line, the two totals and the gauge reach the
// screen at the display's pace: the changes are kept and shown together at most once per frame
// (rows in one pass with the list's redrawing off, see PacedList), and whatever is left when the
// handler ends is shown then. A scan still handles every pending message after each folder, so
// that Stop answers at once. A removal lets no user input through: between files the window
// repaints once per frame, answers the system (sent messages, WM_NULL) at least every 25 ms
// whatever the frames' pace, the rows visibly leave with the list following the walk, and the
// cursor says it is busy, while mouse and keyboard input is thrown away rather than replayed
// against the shortened list afterwards; no other handler runs. A close (the close box, Alt+F4,
// the system menu, WM_CLOSE) is not thrown away: it is remembered and carried out once the
// removal has ended.
//
// Use on one thread, which must run a message loop.
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
    // The least time between two frames of a running scan's or removal's progress (FramePacing).
    void setFramePeriod(std::chrono::milliseconds period) { pacing_.setFramePeriod(period); }

    // MainView
    void setCaption(Control control, std::string_view utf8) override;
    void setScanPicture(ScanPicture picture) override;
    void setListControlsEnabled(bool enabled) override;
    void setFreedText(std::string_view utf8) override;
    void setWillText(std::string_view utf8) override;
    void setPathLine(const NativeString& path) override;
    void clearRows() override;
    void appendRow(const ResultList& results) override;
    void removeRow(std::size_t row) override;
    std::vector<std::size_t> selectedRows() const override;
    void setAllRowsSelected(bool selected) override;
    std::optional<std::size_t> currentRow() const override;
    void setGaugeWidth(int twips) override;
    void showProgress() override;

  private:
    using Clock = FramePacing::Clock;
    using Removal = std::vector<RemovalStep> (*)(MainState&, MainView&, platform::FileRemover*);

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK resultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void buildControls();
    void command(int id, int code);
    HBRUSH controlColour(HDC dc, HWND control);
    void handlePendingMessages();
    void removeSelectedRows(Removal removal);
    // A removal's pause: handles what is not user input, throws user input away.
    void handleMessagesWhileBusy();
    void discardUserInput();
    // True while the screen follows at the display's pace instead of call by call.
    bool paced() const { return state_.Idle == 0 || removing_; }
    // One frame of a running scan or removal: puts what waits on the screen, paints, and times it.
    void showFrame();
    // Puts everything that waits on the screen, when a scan or a removal ends or nothing paces the
    // window; the next pause of a scan or a removal then shows at once.
    void showPending();
    // The labels and the gauge take the frame's values, and the list its rows when the frame says
    // so.
    void showChanges(const Frame& frame);
    // Where the list box stands: its top row, its rows' height, and its rows' waiting changes.
    ListInView listInView() const;
    // Scrolls the list as little as it takes to show `row`, or the end of the list past its last.
    void keepRowInView(std::size_t row);
    void showNowUnlessPaced();
    void showGauge(int twips);
    void drawBoldLabel(const DRAWITEMSTRUCT& item);
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

    std::unique_ptr<PacedList> rows_;  // lstList's rows
    std::unique_ptr<RowTip> rowTip_;
    WNDPROC listBoxProc_ = nullptr;  // the list box's own window procedure
    FramePacing pacing_;             // a frame's cost counts its painting (showFrame)
    Clock::time_point answered_;     // when a removal last handled the system's messages
    bool removing_ = false;
    bool closeAsked_ = false;          // a close came during a removal
    std::optional<WPARAM> quitAsked_;  // a WM_QUIT came during a removal, with its code
    HCURSOR busyCursor_ = LoadCursorW(nullptr, IDC_WAIT);

    GdiHandle<HFONT> font_;
    GdiHandle<HFONT> boldFont_;
    int boldOverstrike_ = 0;  // see boldOverstrike
    GdiHandle<HBRUSH> green_;
    GdiHandle<HBRUSH> yellow_;
    GdiHandle<HBRUSH> blue_;
    std::array<IconHandle, 6> pictures_;  // the buttons' and holders' pictures, kept while shown
};

}  // namespace kelmora::win32ui
