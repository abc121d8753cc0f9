// SPDX-License-Identifier: MIT
#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "about/qt/frmAbout.h"
#include "app/qt/MainFrm.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeProgramStarter.h"
#include "platform/fake/FakeRegistry.h"
#include "tests/support/WidgetLookup.h"

using namespace kelmora;
using test::child;
using test::text;

namespace {

// Answers the modal dialogs at once: the dialog is shown (not run in a loop of its own), the
// test's script acts on it, and it is closed if the script left it open. Messages are recorded.
class ScriptedDialogs : public DialogRunner {
  public:
    std::function<void(QDialog&)> script;
    int opened = 0;
    struct Message {
        QWidget* parent;
        QString text;
    };
    std::vector<Message> messages;

    void runModal(QDialog& dialog) override {
        ++opened;
        dialog.show();
        if (script) script(dialog);
        if (dialog.isVisible()) dialog.reject();
    }
    void showMessage(QWidget* parent, const QString& text) override {
        messages.push_back({parent, text});
    }
};

const char* const kRegistryKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

}  // namespace

// Drives the About box by objectName: opened from the main window's Help button, or built
// directly for a given language.
class AboutDialogTest : public QObject {
    Q_OBJECT

    struct Window {
        platform::FakeFileSystem* fs;
        platform::FakeRegistry* registry;
        platform::FakeProgramStarter* starter;
        std::unique_ptr<MainFrm> frm;
    };
    static Window window(ScriptedDialogs& dialogs) {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        auto registry = std::make_unique<platform::FakeRegistry>();
        auto starter = std::make_unique<platform::FakeProgramStarter>();
        Window w{fs.get(), registry.get(), starter.get(), nullptr};
        platform::Services services;
        services.fileSystem = std::move(fs);
        services.registry = std::move(registry);
        services.starter = std::move(starter);
        w.frm = std::make_unique<MainFrm>(std::move(services), NativeString{});
        w.frm->setDialogRunner(dialogs);
        return w;
    }
    // The texts the About box shows when opened from `frm`'s Help button.
    static QStringList openedTexts(MainFrm& frm, ScriptedDialogs& dialogs) {
        QStringList seen;
        dialogs.script = [&](QDialog& d) {
            seen << d.windowTitle();
            for (const char* name : {"lblTitle", "lblVersion", "Label2", "Label3", "lblDescription",
                                     "web", "Label1", "cmdOK", "cmdSysInfo"})
                seen << text(d, name);
        };
        QTest::mouseClick(child<QAbstractButton>(frm, "Command1"), Qt::LeftButton);
        return seen;
    }

  private slots:
    void helpOpensTheBoxInTheLanguageShown() {
        ScriptedDialogs dialogs;
        Window w = window(dialogs);
        const QStringList english = openedTexts(*w.frm, dialogs);
        QCOMPARE(dialogs.opened, 1);
        QCOMPARE(english.size(), 10);
        QCOMPARE(english[0], QStringLiteral("About Kelmora"));
        QCOMPARE(english[1], QStringLiteral("Kelmora"));
        QCOMPARE(english[2], QStringLiteral("Version 0.71.25"));
        QCOMPARE(english[3], QStringLiteral("Author: Kelmora Developers"));
        QCOMPARE(english[4], QStringLiteral("kelmora@example.org"));
        QVERIFY(
            english[5].startsWith("This freeware will help with the cleaning of your hard disc."));
        QVERIFY(english[5].endsWith("You comments please mail on:"));
        QCOMPARE(english[6], QStringLiteral("more information on kelmora.example.org"));
        QCOMPARE(english[7], QString());
        QCOMPARE(english[8], QStringLiteral("OK"));
        QCOMPARE(english[9], QString::fromUtf8("&Systém..."));

        QTest::mouseClick(child<QAbstractButton>(*w.frm, "cmdLang"), Qt::LeftButton);
        QCOMPARE(w.frm->state().Lang, std::uint8_t{1});
        const QStringList czech = openedTexts(*w.frm, dialogs);
        QCOMPARE(dialogs.opened, 2);
        QCOMPARE(czech[5], QString::fromUtf8(
                               "Tento freewarový program Vám pomůže s čištěním disku. Kliknutím na "
                               "Skenovat spustíte hledaní nepotřebných a dočasných souborů , které "
                               "lze bez starosti vymazat. Pokud si nejste jisti, můžete soubor jen "
                               "vymazat do koše, odkud je možné ho potom obnovit. Vaše názory "
                               "mailujte na:"));
        QCOMPARE(czech[6], QString::fromUtf8("více informací na kelmora.example.org"));
        QCOMPARE(czech[7], QString());
        // Everything else reads the same in both languages.
        for (int i : {0, 1, 2, 3, 4, 8, 9}) QCOMPARE(czech[i], english[i]);
    }

    void anyOtherLanguageValueGivesEnglish() {
        ScriptedDialogs dialogs;
        for (const std::uint8_t lang : {std::uint8_t{0}, std::uint8_t{2}, std::uint8_t{7}}) {
            frmAbout about(lang, nullptr, nullptr, dialogs);
            QVERIFY(text(about, "lblDescription").startsWith("This freeware"));
            QVERIFY(text(about, "web").startsWith("more information on "));
        }
    }

    void eachOpeningIsANewBoxDiscardedOnClosing() {
        ScriptedDialogs dialogs;
        Window w = window(dialogs);
        std::vector<QPointer<QDialog>> boxes;
        dialogs.script = [&](QDialog& d) {
            boxes.emplace_back(&d);
            QCOMPARE(d.parentWidget(), nullptr);
            QTest::mouseClick(child<QAbstractButton>(d, "cmdOK"), Qt::LeftButton);
            QVERIFY(!d.isVisible());
        };
        QTest::mouseClick(child<QAbstractButton>(*w.frm, "Command1"), Qt::LeftButton);
        QTest::mouseClick(child<QAbstractButton>(*w.frm, "Command1"), Qt::LeftButton);
        QCOMPARE(boxes.size(), std::size_t{2});
        QVERIFY(boxes[0].isNull() && boxes[1].isNull());
    }

    void okEnterEscAndTheCloseBoxCloseIt() {
        ScriptedDialogs dialogs;
        const auto closedBy = [&](const std::function<void(frmAbout&)>& act) {
            frmAbout about(2, nullptr, nullptr, dialogs);
            about.show();
            act(about);
            return !about.isVisible();
        };
        QVERIFY(closedBy([](frmAbout& d) {
            QTest::mouseClick(child<QAbstractButton>(d, "cmdOK"), Qt::LeftButton);
        }));
        QVERIFY(closedBy([](frmAbout& d) { QTest::keyClick(&d, Qt::Key_Return); }));
        QVERIFY(closedBy([](frmAbout& d) { QTest::keyClick(&d, Qt::Key_Escape); }));
        QVERIFY(closedBy([](frmAbout& d) { d.close(); }));
        // Enter presses OK because it is the default button, and OK has the focus at opening.
        frmAbout about(2, nullptr, nullptr, dialogs);
        auto* ok = child<QPushButton>(about, "cmdOK");
        QVERIFY(ok->isDefault());
        about.show();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QCOMPARE(QApplication::focusWidget(), ok);
        QVERIFY(dialogs.messages.empty());
    }

    void looksAsDesigned() {
        ScriptedDialogs dialogs;
        frmAbout about(2, nullptr, nullptr, dialogs);
        QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(about.geometry(), QRect(156, 124, 370, 278));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(about.windowFlags().testFlag(Qt::Tool));
        QVERIFY(about.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!about.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!about.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(about.palette().color(QPalette::Window), QColor(238, 238, 238));
        QVERIFY(about.autoFillBackground());

        const std::map<QString, QRect> rects = {{"cmdOK", {280, 218, 84, 23}},
                                                {"cmdSysInfo", {280, 247, 83, 23}},
                                                {"lblDescription", {152, 64, 211, 105}},
                                                {"lblTitle", {160, 7, 259, 18}},
                                                {"lblVersion", {152, 29, 266, 15}},
                                                {"Label1", {7, 218, 269, 58}},
                                                {"Label2", {152, 48, 282, 15}},
                                                {"Label3", {104, 168, 174, 15}},
                                                {"web", {72, 190, 253, 15}},
                                                {"logo", {7, 8, 130, 121}}};
        for (const auto& [name, rect] : rects) {
            auto* w = about.findChild<QWidget*>(name);
            QVERIFY2(w, qPrintable(name));
            QCOMPARE(w->geometry(), rect);
        }
        const QFont title = child<QLabel>(about, "lblTitle")->font();
        QCOMPARE(title.pointSizeF(), 12.0);
        QCOMPARE(title.weight(), QFont::Bold);
        QCOMPARE(title.family(), QStringLiteral("Tahoma"));
        for (const char* name : {"lblVersion", "Label3", "web"}) {
            QCOMPARE(child<QLabel>(about, name)->font().pointSizeF(), 7.5);
            QCOMPARE(child<QLabel>(about, name)->font().weight(), QFont::Bold);
        }
        for (const char* name : {"lblDescription", "Label1", "Label2", "cmdOK", "cmdSysInfo"}) {
            QCOMPARE(child<QWidget>(about, name)->font().pointSizeF(), 7.5);
            QCOMPARE(child<QWidget>(about, name)->font().weight(), QFont::Normal);
        }
        QVERIFY(child<QLabel>(about, "lblDescription")->wordWrap());

        auto* logo = child<QLabel>(about, "logo");
        QVERIFY(logo->hasScaledContents());
        QCOMPARE(logo->pixmap().size(), QSize(170, 170));

        std::map<int, std::pair<QRect, QColor>> lines;
        for (auto* line : about.findChildren<QFrame*>(QStringLiteral("Line1")))
            lines[line->property("index").toInt()] = {line->geometry(),
                                                      line->palette().color(QPalette::Window)};
        QCOMPARE(lines.size(), std::size_t{2});
        QCOMPARE(lines[1].first, QRect(-7, 211, 371, 1));
        QCOMPARE(lines[1].second, QColor(128, 128, 128));
        QCOMPARE(lines[0].first, QRect(-7, 212, 370, 2));
        QCOMPARE(lines[0].second, QColor(255, 255, 255));
    }

    void systemButtonStartsTheToolAndStaysOpen() {
        ScriptedDialogs dialogs;
        Window w = window(dialogs);
        w.registry->setText(kRegistryKey, "PATH", "/opt/tools/sysinfo");
        w.starter->addFile("/opt/tools/sysinfo");
        dialogs.script = [&](QDialog& d) {
            QTest::mouseClick(child<QAbstractButton>(d, "cmdSysInfo"), Qt::LeftButton);
            QVERIFY(d.isVisible());
        };
        QTest::mouseClick(child<QAbstractButton>(*w.frm, "Command1"), Qt::LeftButton);
        QCOMPARE(w.starter->started(), std::vector<NativeString>{"/opt/tools/sysinfo"});
        QVERIFY(dialogs.messages.empty());
    }

    void systemButtonSaysWhenTheToolIsMissingAndSearchesAgain() {
        ScriptedDialogs dialogs;
        Window w = window(dialogs);
        QWidget* box = nullptr;
        dialogs.script = [&](QDialog& d) {
            box = &d;
            QTest::mouseClick(child<QAbstractButton>(d, "cmdSysInfo"), Qt::LeftButton);
            QCOMPARE(dialogs.messages.size(), std::size_t{1});
            QVERIFY(d.isVisible());
            // Installed while the box is open: the next press (here Alt+S) finds it.
            w.registry->setText(kRegistryKey, "PATH", "/opt/tools/sysinfo");
            w.starter->addFile("/opt/tools/sysinfo");
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QTest::keyClick(&d, Qt::Key_S, Qt::AltModifier);
            // A mnemonic presses its button as an animated click, which lands a moment later.
            QTRY_COMPARE(w.starter->started().size(), std::size_t{1});
            QVERIFY(d.isVisible());
        };
        QTest::mouseClick(child<QAbstractButton>(*w.frm, "Command1"), Qt::LeftButton);
        QCOMPARE(dialogs.messages.size(), std::size_t{1});
        QCOMPARE(dialogs.messages[0].text,
                 QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(dialogs.messages[0].parent, box);
        QCOMPARE(w.registry->reads().size(), std::size_t{3});  // both lookups, then the first
        QCOMPARE(w.starter->started(), std::vector<NativeString>{"/opt/tools/sysinfo"});
    }

    void theMessageBoxIsApplicationModalWithOkOnly() {
        const auto box = makeMessageBox(nullptr, QStringLiteral("text"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Kelmora"));
        QCOMPARE(box->text(), QStringLiteral("text"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    }

    void aScanWaitsWhileTheBoxIsOpen() {
        ScriptedDialogs dialogs;
        Window w = window(dialogs);
        for (int i = 0; i < 5; ++i) w.fs->addFile("/F" + std::to_string(i) + "/x.tmp", 1);
        std::size_t listedWhenOpened = 0;
        dialogs.script = [&](QDialog&) {
            QCOMPARE(w.frm->state().Idle, std::int16_t{0});
            listedWhenOpened = w.fs->listedFolders().size();
            // Events handled while the box is open do not move the scan on.
            for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
            QCOMPARE(w.fs->listedFolders().size(), listedWhenOpened);
        };
        QMetaObject::invokeMethod(child<QAbstractButton>(*w.frm, "Command1"), "click",
                                  Qt::QueuedConnection);
        QTest::mouseClick(child<QAbstractButton>(*w.frm, "cmdScan"), Qt::LeftButton);
        QCOMPARE(dialogs.opened, 1);
        QCOMPARE(listedWhenOpened, std::size_t{1});  // opened in the pause after the root
        // Once the box closed, the scan went on to the end.
        QCOMPARE(w.fs->listedFolders().size(), std::size_t{6});
        QCOMPARE(w.frm->state().Idle, std::int16_t{1});
        QCOMPARE(test::rowCount(child<QListView>(*w.frm, "lstList")), 5);
    }
};

QTEST_MAIN(AboutDialogTest)
#include "about_dialog_test.moc"
