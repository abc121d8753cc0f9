// SPDX-License-Identifier: MIT
#include "about/qt/frmAbout.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <array>

#include "about/AboutLayout.h"
#include "about/AboutTexts.h"
#include "about/KeyValue.h"
#include "about/Version.h"
#include "app/qt/DesignPlacement.h"
#include "app/qt/DisplayText.h"

// The logo lives in a resource file compiled into a static library, whose registration the linker
// would otherwise drop; the macro must be used outside any namespace. Registered once.
static void registerAboutResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(about);
        return true;
    }();
    (void)registered;
}

namespace kelmora {
namespace {

template <typename W>
W* place(W* widget, std::string_view name) {
    return placeControl(widget, kAboutLayout, name);
}

// Tahoma, falling back to the system's sans-serif face where it is not installed.
QFont tahoma(double points, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

}  // namespace

frmAbout::frmAbout(std::uint8_t Lang, platform::Registry* registry,
                   platform::ProgramStarter* starter, DialogRunner& dialogs, QWidget* parent)
    : QDialog(parent), registry_(registry), starter_(starter), dialogs_(dialogs) {
    registerAboutResources();
    setObjectName(QStringLiteral("frmAbout"));
    // A fixed tool-window frame: small title bar with only a close box, no taskbar entry.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(QIcon());
    setWindowTitle(QStringLiteral("O Aplikaci"));  // the design caption, replaced on load
    // The stored position, not centred; the window system may still move it.
    setGeometry(twipsToPixels(kAboutScreenLeftTwips), twipsToPixels(kAboutScreenTopTwips),
                twipsToPixels(kAboutClientWidthTwips), twipsToPixels(kAboutClientHeightTwips));
    setFixedSize(twipsToPixels(kAboutClientWidthTwips), twipsToPixels(kAboutClientHeightTwips));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, designColour(kAboutBackground));
    setPalette(grey);
    setAutoFillBackground(true);
    buildControls();
    load(Lang);
}

void frmAbout::buildControls() {
    const QFont small = tahoma(kAboutTextPoints, false);
    const QFont smallBold = tahoma(kAboutTextPoints, true);

    auto* cmdOK = place(new QPushButton(fromUtf8(kOkCaption), this), "cmdOK");
    cmdOK->setFont(small);
    cmdOK->setDefault(true);
    auto* cmdSysInfo = place(new QPushButton(fromUtf8(kSysInfoCaption), this), "cmdSysInfo");
    cmdSysInfo->setFont(small);

    const auto label = [this](std::string_view name, const QFont& font) {
        auto* l = place(new QLabel(this), name);
        l->setFont(font);
        return l;
    };
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    auto* lblDescription = label("lblDescription", small);
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setPalette(black);
    label("lblTitle", tahoma(kAboutTitlePoints, true))->setPalette(black);
    label("lblVersion", smallBold);
    auto* Label1 = label("Label1", small);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label("Label2", small)->setText(fromUtf8(kAuthorLine));
    label("Label3", smallBold)->setText(fromUtf8(kAuthorEmail));
    label("web", smallBold);

    auto* logo = place(new QLabel(this), "logo");
    logo->setPixmap(QPixmap(QStringLiteral(":/about/logo.png")));
    logo->setScaledContents(true);

    for (const DesignLine& line : kAboutEtchedLines) {
        auto* l = new QFrame(this);
        l->setObjectName(QStringLiteral("Line1"));
        l->setProperty("index", line.index);
        const int x1 = twipsToPixels(line.x1);
        const int top = twipsToPixels(line.y) - line.thickness / 2;
        l->setGeometry(x1, top, twipsToPixels(line.x2) - x1, line.thickness);
        QPalette colour = l->palette();
        colour.setColor(QPalette::Window, designColour(line.colour));
        l->setPalette(colour);
        l->setAutoFillBackground(true);
    }

    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });
}

void frmAbout::load(std::uint8_t lang) {
    setWindowTitle(fromUtf8(aboutCaption()));
    findChild<QLabel*>(QStringLiteral("lblVersion"))
        ->setText(fromUtf8(versionLine(kVersionMajor, kVersionMinor, kVersionRevision)));
    findChild<QLabel*>(QStringLiteral("lblTitle"))->setText(fromUtf8(kApplicationTitle));
    const AboutTexts texts = aboutTexts(lang);
    findChild<QLabel*>(QStringLiteral("lblDescription"))->setText(fromUtf8(texts.description));
    findChild<QLabel*>(QStringLiteral("web"))->setText(fromUtf8(texts.web));
    findChild<QLabel*>(QStringLiteral("Label1"))->setText(fromUtf8(texts.caution));
}

void frmAbout::StartSysInfo() { kelmora::StartSysInfo(registry_, starter_, *this); }

bool frmAbout::GetKeyValue(std::int32_t KeyRoot, const std::string& KeyName,
                           const std::string& SubKeyRef, std::string& KeyVal) {
    return kelmora::GetKeyValue(registry_, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void frmAbout::showMessage(std::string_view utf8) { dialogs_.showMessage(this, fromUtf8(utf8)); }

}  // namespace kelmora
