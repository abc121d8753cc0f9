// SPDX-License-Identifier: MIT
#include "app/qt/MainFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QStyledItemDelegate>
#include <algorithm>
#include <vector>

#include "about/AboutTexts.h"
#include "about/qt/frmAbout.h"
#include "app/qt/BusyWindow.h"
#include "app/qt/DesignPlacement.h"
#include "app/qt/DisplayText.h"
#include "app/qt/ElidedLabel.h"
#include "app/qt/PictureButton.h"
#include "app/qt/ResultRowsModel.h"
#include "app/qt/ToggleList.h"
#include "results/Selection.h"
#include "scan/Masks.h"
#include "window/DesignLayout.h"
#include "window/PathLine.h"

// The pictures live in the windows' static library, whose resource registration the linker would
// drop unless something refers to it.
static void registerPictures() { Q_INIT_RESOURCE(pictures); }

namespace kelmora {
namespace {

template <typename W>
W* place(W* widget, std::string_view name) {
    return placeControl(widget, kMainLayout, name);
}

void fillWith(QWidget* widget, QPalette::ColorRole role, QColor colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// Tahoma where it is installed; otherwise the first sans serif that draws the Czech letters
// itself. A font that lacks them would leave the captions to a fallback font or to boxes.
QFont windowFont() {
    const QString czech = QString::fromUtf8("ěščřžýáíéůúĚŠČŘŽÝÁÍÉŮÚ");
    QStringList candidates{QStringLiteral("Tahoma"),          QStringLiteral("DejaVu Sans"),
                           QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans"),
                           QStringLiteral("Arial"),           QStringLiteral("FreeSans")};
    candidates << QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    for (const QString& family : candidates) {
        if (!QFontDatabase::hasFamily(family)) continue;
        QFont font(family);
        font.setPointSizeF(kFontPoints);
        const QRawFont raw = QRawFont::fromFont(font);
        if (family == QLatin1String("Tahoma") ||
            std::all_of(czech.begin(), czech.end(),
                        [&](QChar c) { return raw.supportsCharacter(c); }))
            return font;
    }
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kFontPoints);
    return font;
}

// Every row of the result list is the same height, and no wider than the list: a long path is
// cut off at the list's right edge instead of widening the rows into a horizontal scroll range.
class FixedRowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {1, kListRowPixels};
    }
};

}  // namespace

MainFrm::MainFrm(platform::Services services, NativeString root, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      scan_(state_, *this, *services_.fileSystem, std::move(root), [this] { scanPause(); }) {
    setObjectName(QStringLiteral("mainFrm"));
    setWindowTitle(fromUtf8(kApplicationTitle));
    buildControls();

    // Start-up: idle, the mask table, then the language switch once from Czech, so every run
    // begins in English.
    state_.Idle = 1;
    state_.Masks = nativeMaskTable();
    state_.Lang = kCzech;
    cmdLangClick();
}

MainFrm::~MainFrm() = default;

void MainFrm::buildControls() {
    registerPictures();
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    // A fixed frame with its own taskbar button, a close box and no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/pictures/kelmora.png")));
    fillWith(this, QPalette::Window, designColour(kWindowGreen));
    setAutoFillBackground(true);
    setFont(windowFont());

    const auto pictureButton = [this](std::string_view name, const char* designCaption,
                                      const char* picture) {
        auto* button = place(new PictureButton(this), name);
        button->setIcon(QIcon(QStringLiteral(":/pictures/") + QLatin1String(picture)));
        button->setText(QString::fromUtf8(designCaption));
        fillWith(button, QPalette::Button, designColour(kWindowGreen));
        return button;
    };
    cmdScan_ = pictureButton("cmdScan", "Skenovat", "start.gif");
    cmdCA_ = pictureButton("cmdCA", "Vybrat vše", "tick.gif");
    cmdDeselect_ = pictureButton("cmdDeselect", "Nevybrat nic", "cross.gif");
    cmdErase1_ = pictureButton("cmdErase1", "Smazat", "prohibition.gif");
    cmdErase2_ = pictureButton("cmdErase2", "Do Koše", "sheet.gif");

    // Labels: left-aligned, one line, on the window's green (Label2 lets the window show through).
    const auto label = [this](std::string_view name, const char* text, QLabel* l = nullptr) {
        if (!l) l = new QLabel(this);
        l->setText(QString::fromUtf8(text));
        place(l, name);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setAutoFillBackground(true);
        return l;
    };
    const auto heading = [&label](std::string_view name, const char* text) {
        QLabel* l = label(name, text);
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        return l;
    };
    label("Label2", "Využití zásobníku")->setAutoFillBackground(false);

    // The gauge: a sunken light-yellow box whose inside clips the bar, so a bar wider than the box
    // stops at its inner edge instead of painting over the border.
    Picture1_ = place(new QFrame(this), "Picture1");
    Picture1_->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Picture1_->setFocusPolicy(Qt::StrongFocus);
    Picture1_->setAccessibleName(QStringLiteral("Folder stack usage"));
    fillWith(Picture1_, QPalette::Window, designColour(kGaugeYellow));
    Picture1_->setAutoFillBackground(true);
    auto* gaugeInside = new QWidget(Picture1_);
    gaugeInside->setGeometry(Picture1_->contentsRect());
    sLevel_ = place(new QFrame(gaugeInside), "sLevel");
    sLevel_->setFrameStyle(QFrame::Box | QFrame::Plain);
    sLevel_->setLineWidth(1);
    fillWith(sLevel_, QPalette::Window, designColour(kGaugeBarBlue));
    sLevel_->setAutoFillBackground(true);
    const auto designed = std::find_if(kMainLayout.begin(), kMainLayout.end(),
                                       [](const DesignRect& r) { return r.name == "sLevel"; });
    showGauge(designed->width);  // 12 twips, under a pixel: nothing is drawn before a scan

    // Each total is read out by its value, "125 KB", and its caption is its label for screen
    // readers, so that together they say "You can free: 125 KB".
    QLabel* label1 = heading("Label1", "Lze uvolnit:");
    lblFreed_ = label("lblFreed", "0 KB");
    label1->setBuddy(lblFreed_);

    lstList_ = place(new ToggleList(this), "lstList");
    rows_ = new ResultRowsModel(state_.Results, lstList_);
    lstList_->setModel(rows_);
    lstList_->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    lstList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstList_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstList_->setTextElideMode(Qt::ElideNone);  // Qt elides by default; the design cuts off
    lstList_->setWordWrap(false);
    lstList_->setUniformItemSizes(true);
    lstList_->setItemDelegate(new FixedRowDelegate(lstList_));
    lstList_->setAccessibleName(QStringLiteral("Found files"));

    QLabel* label4 = heading("Label4", "Uvolníte:");
    lblWill_ = label("lblWill", "0 KB");
    label4->setBuddy(lblWill_);
    const auto plainButton = [this](std::string_view name, const char* caption) {
        auto* button = place(new QPushButton(QString::fromUtf8(caption), this), name);
        button->setAutoDefault(false);
        fillWith(button, QPalette::Button, designColour(kWindowGreen));
        return button;
    };
    cmdLang_ = plainButton("cmdLang", "English");
    Command1_ = plainButton("Command1", "Nápověda");
    // The path line keeps the file's own name in view: a path too long for it loses its middle
    // on screen, while its text, and what a screen reader reads, stay the whole path.
    QLabel* label3 = heading("Label3", "Název souboru:");
    lblWD_ = static_cast<ElidedLabel*>(label("lblWD", "", new ElidedLabel(this)));
    label3->setBuddy(lblWD_);

    // The scan button's two pictures; it always takes the one it shows from these holders.
    const auto holder = [this](std::string_view name, const char* picture) {
        auto* l = place(new QLabel(this), name);
        l->setPixmap(QPixmap(QStringLiteral(":/pictures/") + QLatin1String(picture)));
        l->hide();
        return l;
    };
    imgGo_ = holder("imgGo", "start.gif");
    imgStop_ = holder("imgStop", "stop.gif");
    cmdScan_->setIcon(QIcon(imgGo_->pixmap()));

    // The focus follows the designed tab indices; labels and hidden controls never take it.
    std::vector<DesignRect> byTab;
    std::copy_if(kMainLayout.begin(), kMainLayout.end(), std::back_inserter(byTab),
                 [](const DesignRect& r) { return r.tabIndex >= 0; });
    std::sort(byTab.begin(), byTab.end(),
              [](const DesignRect& a, const DesignRect& b) { return a.tabIndex < b.tabIndex; });
    QWidget* previous = nullptr;
    for (const DesignRect& r : byTab) {
        auto* w = findChild<QWidget*>(fromUtf8(r.name));
        if (!w || w->isHidden() || w->focusPolicy() == Qt::NoFocus) continue;
        if (previous) setTabOrder(previous, w);
        previous = w;
    }
    cmdScan_->setFocus();

    connect(cmdScan_, &QAbstractButton::clicked, this, [this] { scan_.click(); });
    connect(cmdLang_, &QAbstractButton::clicked, this, [this] { cmdLangClick(); });
    connect(Command1_, &QAbstractButton::clicked, this, [this] { Command1Click(); });
    connect(lstList_, &ToggleList::rowToggled, this, [this] { listClick(state_, *this); });
    connect(cmdCA_, &QAbstractButton::clicked, this, [this] { selectAll(state_, *this); });
    connect(cmdDeselect_, &QAbstractButton::clicked, this, [this] { deselectAll(state_, *this); });
    // No message for a file that stays: its row stays, still selected, and shows it.
    connect(cmdErase1_, &QAbstractButton::clicked, this,
            [this] { removeSelectedRows(&eraseSelected); });
    connect(cmdErase2_, &QAbstractButton::clicked, this,
            [this] { removeSelectedRows(&moveSelectedToBin); });
}

void MainFrm::cmdLangClick() { switchLanguage(state_.Lang, state_.Idle, *this); }

// A fresh About box for every opening, with no owner window, so it is modal to the whole program;
// a running scan stays paused inside this handler until the box has closed.
void MainFrm::Command1Click() {
    frmAbout about(state_.Lang, services_.registry.get(), services_.starter.get(), *dialogs_);
    dialogs_->runModal(about);
}

void MainFrm::removeSelectedRows(Removal removal) {
    BusyWindow busy;  // until it goes: a busy cursor, and no user input reaches a handler
    removing_ = true;
    removal(state_, *this, services_.remover.get());
    removing_ = false;
    showPending();
}

void MainFrm::showProgress() {
    // Only a removal pauses here, and only while it keeps user input away from the handlers.
    if (!removing_ || !pacing_.frameDue(FramePacing::Clock::now())) return;
    showFrame();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainFrm::scanPause() {
    if (pacing_.frameDue(FramePacing::Clock::now())) showFrame();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainFrm::showFrame() {
    const FramePacing::Clock::time_point start = FramePacing::Clock::now();
    const QModelIndex top = lstList_->indexAt(QPoint(0, 0));
    const ListInView list{top.isValid() ? static_cast<std::size_t>(top.row()) : 0,
                          lstList_->viewport()->height(), kListRowPixels, rows_->firstChangedRow()};
    showChanges(pacing_.beginFrame(start, list));
    // The repaint that follows adds its own cost (event()).
    pacing_.frameShown(FramePacing::Clock::now());
}

void MainFrm::showPending() { showChanges(pacing_.finish()); }

void MainFrm::showChanges(const Frame& frame) {
    if (frame.rows && rows_->hasPending()) {
        rows_->showPending();
        // The list lays out all its rows again after every change, the longer it is the slower.
        // Done here, it counts in the frame's cost; otherwise it would wait for a timer.
        if (lstList_->isVisible()) lstList_->doItemsLayout();
    }
    const PendingDisplay& values = frame.values;
    if (values.freedUtf8) lblFreed_->setText(fromUtf8(*values.freedUtf8));
    if (values.willUtf8) lblWill_->setText(fromUtf8(*values.willUtf8));
    if (values.pathLine) lblWD_->setText(displayText(*values.pathLine));
    if (values.gaugeTwips) showGauge(*values.gaugeTwips);
}

void MainFrm::showNowUnlessPaced() {
    if (!paced()) showPending();
}

void MainFrm::setCaption(Control control, std::string_view utf8) {
    showNowUnlessPaced();
    const QString name = fromUtf8(controlName(control));
    if (auto* button = findChild<QAbstractButton*>(name, Qt::FindDirectChildrenOnly))
        button->setText(fromUtf8(utf8));
    else if (auto* l = findChild<QLabel*>(name, Qt::FindDirectChildrenOnly))
        l->setText(fromUtf8(utf8));
}

void MainFrm::setScanPicture(ScanPicture picture) {
    showNowUnlessPaced();
    // The button's picture always comes from one of the two hidden holders.
    const QLabel* holder = picture == ScanPicture::Go ? imgGo_ : imgStop_;
    cmdScan_->setIcon(QIcon(holder->pixmap()));
    cmdScan_->setProperty("pictureFrom", holder->objectName());
}

void MainFrm::setListControlsEnabled(bool enabled) {
    // Back to idle, the list is whole before it takes clicks again.
    showNowUnlessPaced();
    for (QWidget* w : {static_cast<QWidget*>(lstList_), static_cast<QWidget*>(cmdCA_),
                       static_cast<QWidget*>(cmdDeselect_), static_cast<QWidget*>(cmdErase1_),
                       static_cast<QWidget*>(cmdErase2_)})
        w->setEnabled(enabled);
}

void MainFrm::setFreedText(std::string_view utf8) {
    pacing_.pending().freedUtf8 = std::string(utf8);
    showNowUnlessPaced();
}

void MainFrm::setWillText(std::string_view utf8) {
    pacing_.pending().willUtf8 = std::string(utf8);
    showNowUnlessPaced();
}

void MainFrm::setPathLine(const NativeString& path) {
    pacing_.pending().pathLine = endsOfPath(path);
    showNowUnlessPaced();
}

void MainFrm::clearRows() { rows_->clear(); }

void MainFrm::appendRow(const ResultList&) {
    rows_->append();
    showNowUnlessPaced();
}

void MainFrm::removeRow(std::size_t row) {
    rows_->removeRow(row);
    showNowUnlessPaced();
}

// The rows reported count every change made so far, shown or not: rows_ shows its waiting rows
// first (a change to the model, not to this window's own state).
std::vector<std::size_t> MainFrm::selectedRows() const {
    rows_->showPending();
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : lstList_->selectionModel()->selectedIndexes())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainFrm::setAllRowsSelected(bool selected) {
    rows_->showPending();
    lstList_->setAllSelected(selected);
}

std::optional<std::size_t> MainFrm::currentRow() const {
    rows_->showPending();
    const QModelIndex current = lstList_->currentIndex();
    if (!current.isValid()) return std::nullopt;
    return static_cast<std::size_t>(current.row());
}

void MainFrm::setGaugeWidth(int twips) {
    pacing_.pending().gaugeTwips = twips;
    showNowUnlessPaced();
}

void MainFrm::showGauge(int twips) {
    sLevel_->resize(twipsToPixels(twips), sLevel_->height());
    sLevel_->setVisible(gaugeBarShown(twips));
}

// The whole window repaints and goes to the display in its update request: while a scan or a
// removal runs, that is part of what a frame costs.
bool MainFrm::event(QEvent* event) {
    if (event->type() != QEvent::UpdateRequest || !paced()) return QWidget::event(event);
    const FramePacing::Clock::time_point paint = FramePacing::Clock::now();
    const bool handled = QWidget::event(event);
    pacing_.addFrameCost(FramePacing::Clock::now() - paint);
    return handled;
}

void MainFrm::closeEvent(QCloseEvent* event) {
    if (state_.Idle == 0) scan_.stop();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace kelmora
