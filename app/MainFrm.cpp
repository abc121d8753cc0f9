#include "app/MainFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>

#include "app/DesignLayout.h"
#include "app/DisplayText.h"
#include "app/ToggleList.h"
#include "results/Removal.h"
#include "results/Selection.h"
#include "scan/Masks.h"

namespace kelmora {
namespace {

QRect designRect(std::string_view name) {
    for (const auto& r : kMainLayout)
        if (r.name == name)
            return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
                    twipsToPixels(r.height)};
    return {};
}

template <typename W>
W* place(W* widget, std::string_view name) {
    widget->setObjectName(fromUtf8(name));
    widget->setGeometry(designRect(name));
    return widget;
}

}  // namespace

MainFrm::MainFrm(platform::Services services, NativeString root, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      scan_(state_, *this, *services_.fileSystem, std::move(root),
            [] { QCoreApplication::processEvents(QEventLoop::AllEvents); }) {
    setObjectName(QStringLiteral("mainFrm"));
    setWindowTitle(QStringLiteral("Kelmora"));
    buildControls();

    // Start-up: idle, the mask table, then the language switch once from Czech, so every run
    // begins in English.
    state_.Idle = 1;
    for (std::size_t i = 0; i < kMaskTable.size(); ++i) state_.Masks[i] = fromAscii(kMaskTable[i]);
    state_.Lang = kCzech;
    cmdLangClick();
}

MainFrm::~MainFrm() = default;

void MainFrm::buildControls() {
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    const auto pictureButton = [this](std::string_view name, const char* designCaption) {
        auto* button = place(new QToolButton(this), name);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setText(QString::fromUtf8(designCaption));
        return button;
    };
    cmdScan_ = pictureButton("cmdScan", "Skenovat");
    cmdCA_ = pictureButton("cmdCA", "Vybrat vše");
    cmdDeselect_ = pictureButton("cmdDeselect", "Nevybrat nic");
    cmdErase1_ = pictureButton("cmdErase1", "Smazat");
    cmdErase2_ = pictureButton("cmdErase2", "Do Koše");

    const auto label = [this](std::string_view name, const char* text) {
        auto* l = place(new QLabel(QString::fromUtf8(text), this), name);
        return l;
    };
    label("Label2", "Využití zásobníku");
    Picture1_ = place(new QFrame(this), "Picture1");
    Picture1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    sLevel_ = place(new QFrame(Picture1_), "sLevel");
    sLevel_->setAutoFillBackground(true);
    label("Label1", "Lze uvolnit:");
    lblFreed_ = label("lblFreed", "0 KB");
    lstList_ = place(new ToggleList(this), "lstList");
    label("Label4", "Uvolníte:");
    lblWill_ = label("lblWill", "0 KB");
    cmdLang_ = place(new QPushButton(QStringLiteral("English"), this), "cmdLang");
    Command1_ = place(new QPushButton(QString::fromUtf8("Nápověda"), this), "Command1");
    label("Label3", "Název souboru:");
    lblWD_ = label("lblWD", "");
    imgGo_ = label("imgGo", "");
    imgGo_->hide();
    imgStop_ = label("imgStop", "");
    imgStop_->hide();

    connect(cmdScan_, &QAbstractButton::clicked, this, [this] { scan_.click(); });
    connect(cmdLang_, &QAbstractButton::clicked, this, [this] { cmdLangClick(); });
    connect(lstList_, &ToggleList::rowToggled, this, [this] { listClick(state_, *this); });
    connect(cmdCA_, &QAbstractButton::clicked, this, [this] { selectAll(state_, *this); });
    connect(cmdDeselect_, &QAbstractButton::clicked, this, [this] { deselectAll(state_, *this); });
    // No message for a file that stays: its row stays, still selected, and shows it.
    connect(cmdErase1_, &QAbstractButton::clicked, this,
            [this] { eraseSelected(state_, *this, services_.remover.get()); });
    connect(cmdErase2_, &QAbstractButton::clicked, this,
            [this] { moveSelectedToBin(state_, *this, services_.remover.get()); });
}

void MainFrm::cmdLangClick() { switchLanguage(state_.Lang, state_.Idle, *this); }

void MainFrm::setCaption(Control control, std::string_view utf8) {
    const QString name = fromUtf8(controlName(control));
    if (auto* button = findChild<QAbstractButton*>(name, Qt::FindDirectChildrenOnly))
        button->setText(fromUtf8(utf8));
    else if (auto* l = findChild<QLabel*>(name, Qt::FindDirectChildrenOnly))
        l->setText(fromUtf8(utf8));
}

void MainFrm::setScanPicture(ScanPicture picture) {
    // The button's picture always comes from one of the two hidden holders.
    const QLabel* holder = picture == ScanPicture::Go ? imgGo_ : imgStop_;
    cmdScan_->setIcon(QIcon(holder->pixmap()));
    cmdScan_->setProperty("pictureFrom", holder->objectName());
}

void MainFrm::setListControlsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(lstList_), static_cast<QWidget*>(cmdCA_),
                       static_cast<QWidget*>(cmdDeselect_), static_cast<QWidget*>(cmdErase1_),
                       static_cast<QWidget*>(cmdErase2_)})
        w->setEnabled(enabled);
}

void MainFrm::setFreedText(std::string_view utf8) { lblFreed_->setText(fromUtf8(utf8)); }
void MainFrm::setWillText(std::string_view utf8) { lblWill_->setText(fromUtf8(utf8)); }
void MainFrm::setPathLine(const NativeString& path) { lblWD_->setText(displayText(path)); }
void MainFrm::clearRows() { lstList_->clear(); }
void MainFrm::appendRow(const NativeString& path) { lstList_->addItem(displayText(path)); }
void MainFrm::removeRow(std::size_t row) { delete lstList_->takeItem(static_cast<int>(row)); }

std::vector<std::size_t> MainFrm::selectedRows() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : lstList_->selectionModel()->selectedIndexes())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainFrm::setAllRowsSelected(bool selected) { lstList_->setAllSelected(selected); }

std::optional<std::size_t> MainFrm::currentRow() const {
    const int row = lstList_->currentRow();
    if (row < 0) return std::nullopt;
    return static_cast<std::size_t>(row);
}

void MainFrm::setGaugeWidth(int twips) { sLevel_->resize(twipsToPixels(twips), sLevel_->height()); }

void MainFrm::closeEvent(QCloseEvent* event) {
    if (state_.Idle == 0) scan_.stop();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace kelmora
