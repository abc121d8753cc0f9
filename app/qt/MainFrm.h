// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>

#include "about/qt/DialogRunner.h"
#include "platform/Platform.h"
#include "results/Removal.h"
#include "scan/Scan.h"
#include "window/FramePacing.h"
#include "window/MainState.h"
#include "window/MainView.h"

class QAbstractButton;
class QFrame;
class QLabel;

namespace kelmora {

class ElidedLabel;
class ResultRowsModel;
class ToggleList;

// The main window: owns the shared state for the life of the program and shows it. Its handlers
// are the core's (the scan, the selection, the removal, the language switch); this class only wires
// widgets to them.
//
// While a scan or a removal runs, the rows, the path line, the two totals and the gauge reach the
// screen at the display's pace: the changes are kept and shown together at most once per frame,
// and whatever is left when the handler ends is shown then. A scan still handles events after every
// folder, so that Stop answers at once. A removal lets no user input through: the window repaints
// and the rows visibly leave, the cursor says it is busy, and what the user does meanwhile is
// thrown away rather than replayed against the shortened list afterwards; a close is kept and
// carried out once the removal has ended (BusyWindow).
class MainFrm : public QWidget, public MainView {
    Q_OBJECT
  public:
    // `services` reach the operating system and `root` is the drive root in its
    // no-trailing-separator form: the program passes the real ones, tests fakes or a temporary
    // folder. `services.fileSystem` must be set; without `services.remover` every removal is
    // refused.
    MainFrm(platform::Services services, NativeString root, QWidget* parent = nullptr);
    ~MainFrm() override;

    const MainState& state() const { return state_; }
    // Where the About box and its message box are shown modally; the real modal loops unless a
    // test puts in its own. `runner` must outlive the window.
    void setDialogRunner(DialogRunner& runner) { dialogs_ = &runner; }
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

  protected:
    // Closing the window ends the program at once, also in the middle of a scan: the walk is
    // dropped and the event loop told to quit, so nothing runs on once the scan handler unwinds.
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    using Removal = std::vector<RemovalStep> (*)(MainState&, MainView&, platform::FileRemover*);

    void buildControls();
    void cmdLangClick();
    void Command1Click();
    void removeSelectedRows(Removal removal);
    // True while the screen follows at the display's pace instead of call by call.
    bool paced() const { return state_.Idle == 0 || removing_; }
    // The scan's pause after each folder: shows what waits when a frame is due, then lets every
    // pending event run, nested handlers included.
    void scanPause();
    // One frame of a running scan or removal: puts what waits on the screen and times it.
    void showFrame();
    // Puts everything that waits on the screen, when a scan or a removal ends or nothing paces
    // the window; the next pause of a scan or a removal then shows at once.
    void showPending();
    // The labels and the gauge take the frame's values, and the list its rows when the frame says
    // so; the window repaints when events next run.
    void showChanges(const Frame& frame);
    void showNowUnlessPaced();
    void showGauge(int twips);

    MainState state_;
    platform::Services services_;
    Scan scan_;
    DialogRunner* dialogs_ = &modalDialogRunner();
    FramePacing pacing_;  // a frame's cost counts the repaint that follows it (event())
    bool removing_ = false;

    QAbstractButton* cmdScan_ = nullptr;
    QAbstractButton* cmdCA_ = nullptr;
    QAbstractButton* cmdDeselect_ = nullptr;
    QAbstractButton* cmdErase1_ = nullptr;
    QAbstractButton* cmdErase2_ = nullptr;
    QAbstractButton* cmdLang_ = nullptr;
    QAbstractButton* Command1_ = nullptr;
    ToggleList* lstList_ = nullptr;
    ResultRowsModel* rows_ = nullptr;  // lstList's rows
    QLabel* lblFreed_ = nullptr;
    QLabel* lblWill_ = nullptr;
    ElidedLabel* lblWD_ = nullptr;
    QFrame* Picture1_ = nullptr;
    QFrame* sLevel_ = nullptr;
    QLabel* imgGo_ = nullptr;  // hidden holders of the scan button's two pictures
    QLabel* imgStop_ = nullptr;
};

}  // namespace kelmora
