#pragma once

#include <QWidget>
#include <memory>

#include "about/qt/DialogRunner.h"
#include "app/MainState.h"
#include "app/MainView.h"
#include "platform/Platform.h"
#include "scan/Scan.h"

class QAbstractButton;
class QFrame;
class QLabel;

namespace kelmora {

class ToggleList;

// The main window: owns the shared state for the life of the program and shows it. Its handlers
// are the core's (the scan, the selection, the removal, the language switch); this class only wires
// widgets to them.
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

  protected:
    // Closing the window ends the program at once, also in the middle of a scan: the walk is
    // dropped and the event loop told to quit, so nothing runs on once the scan handler unwinds.
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void cmdLangClick();
    void Command1Click();

    MainState state_;
    platform::Services services_;
    Scan scan_;
    DialogRunner* dialogs_ = &modalDialogRunner();

    QAbstractButton* cmdScan_ = nullptr;
    QAbstractButton* cmdCA_ = nullptr;
    QAbstractButton* cmdDeselect_ = nullptr;
    QAbstractButton* cmdErase1_ = nullptr;
    QAbstractButton* cmdErase2_ = nullptr;
    QAbstractButton* cmdLang_ = nullptr;
    QAbstractButton* Command1_ = nullptr;
    ToggleList* lstList_ = nullptr;
    QLabel* lblFreed_ = nullptr;
    QLabel* lblWill_ = nullptr;
    QLabel* lblWD_ = nullptr;
    QFrame* Picture1_ = nullptr;
    QFrame* sLevel_ = nullptr;
    QLabel* imgGo_ = nullptr;  // hidden holders of the scan button's two pictures
    QLabel* imgStop_ = nullptr;
};

}  // namespace kelmora
