// SPDX-License-Identifier: MIT
#include <QAbstractButton>
#include <QLabel>
#include <QListView>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "app/qt/MainFrm.h"
#include "platform/fake/FakeFileSystem.h"
#include "tests/support/IsolatedFileSystem.h"
#include "tests/support/TempTree.h"
#include "tests/support/WidgetLookup.h"

using namespace kelmora;
using test::child;
using test::text;

// Drives the real main window by objectName, scanning temporary folders or a fake file system.
class MainWindowTest : public QObject {
    Q_OBJECT

    static platform::Services realFs() {
        platform::Services services;
        services.fileSystem = test::makeIsolatedFileSystem();
        return services;
    }
    static platform::Services withFake(std::unique_ptr<platform::FakeFileSystem> fs) {
        platform::Services services;
        services.fileSystem = std::move(fs);
        return services;
    }
    static QStringList rows(QWidget& w) { return test::rowTexts(child<QListView>(w, "lstList")); }
    // Clicks `name` from the event loop, so that a running scan's pause handles it.
    static void queueClick(QWidget& w, const char* name) {
        QMetaObject::invokeMethod(child<QAbstractButton>(w, name), "click", Qt::QueuedConnection);
    }

  private slots:
    void startsInEnglishWithAnEmptyListAndZeroTotals() {
        MainFrm w(withFake(std::make_unique<platform::FakeFileSystem>()), {});
        QCOMPARE(w.objectName(), QStringLiteral("mainFrm"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Kelmora"));
        QCOMPARE(text(w, "cmdScan"), QStringLiteral("Start scan"));
        QCOMPARE(text(w, "cmdLang"), QString::fromUtf8("Česky"));
        QCOMPARE(text(w, "cmdErase2"), QStringLiteral("Move to bin"));
        QCOMPARE(text(w, "Label4"), QStringLiteral("You will free :"));
        QCOMPARE(w.state().Lang, std::uint8_t{2});
        QCOMPARE(w.state().Idle, std::int16_t{1});
        QCOMPARE(text(w, "lblFreed"), QStringLiteral("0 KB"));
        QCOMPARE(text(w, "lblWill"), QStringLiteral("0 KB"));
        QCOMPARE(text(w, "lblWD"), QString());
        QCOMPARE(test::rowCount(child<QListView>(w, "lstList")), 0);
    }

    void languageButtonSwitchesBothWays() {
        MainFrm w(withFake(std::make_unique<platform::FakeFileSystem>()), {});
        QTest::mouseClick(child<QAbstractButton>(w, "cmdLang"), Qt::LeftButton);
        QCOMPARE(w.state().Lang, std::uint8_t{1});
        QCOMPARE(text(w, "cmdLang"), QStringLiteral("English"));
        QCOMPARE(text(w, "cmdErase2"), QString::fromUtf8("Přesunout do koše"));
        QCOMPARE(text(w, "Label2"), QString::fromUtf8("Využití zásobníku"));
        QCOMPARE(text(w, "lblFreed"), QStringLiteral("0 KB"));
        QTest::mouseClick(child<QAbstractButton>(w, "cmdLang"), Qt::LeftButton);
        QCOMPARE(w.state().Lang, std::uint8_t{2});
        QCOMPARE(text(w, "cmdScan"), QStringLiteral("Start scan"));
    }

    void scanListsTheFilesOfATemporaryTree() {
        test::TempTree tree;
        tree.file("x.tmp", 1024);
        tree.file("A/b.bak", 2048);
        tree.file("A/c.txt", 10);
        MainFrm w(realFs(), tree.root());
        QTest::mouseClick(child<QAbstractButton>(w, "cmdScan"), Qt::LeftButton);
        const QString root = QString::fromStdString(tree.root());
        QCOMPARE(rows(w), QStringList({root + "/x.tmp", root + "/A/b.bak"}));
        QCOMPARE(text(w, "lblFreed"), QStringLiteral("3 KB"));
        QCOMPARE(text(w, "lblWD"), root + "/A/");
        QCOMPARE(text(w, "cmdScan"), QStringLiteral("Start scan"));
        QCOMPARE(child<QWidget>(w, "cmdScan")->property("pictureFrom").toString(),
                 QStringLiteral("imgGo"));
        QCOMPARE(child<QWidget>(w, "sLevel")->width(), 0);
        for (const char* name : {"lstList", "cmdCA", "cmdDeselect", "cmdErase1", "cmdErase2"})
            QVERIFY2(child<QWidget>(w, name)->isEnabled(), name);
    }

    void listControlsAreDisabledWhileScanning() {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        fs->addFolder("/A");
        MainFrm w(withFake(std::move(fs)), {});
        bool checked = false;
        QTimer::singleShot(0, &w, [&] {
            for (const char* name : {"lstList", "cmdCA", "cmdDeselect", "cmdErase1", "cmdErase2"})
                QVERIFY2(!child<QWidget>(w, name)->isEnabled(), name);
            QVERIFY(child<QWidget>(w, "cmdLang")->isEnabled());
            QCOMPARE(text(w, "cmdScan"), QStringLiteral("Stop scan"));
            QCOMPARE(child<QWidget>(w, "cmdScan")->property("pictureFrom").toString(),
                     QStringLiteral("imgStop"));
            checked = true;
        });
        QTest::mouseClick(child<QAbstractButton>(w, "cmdScan"), Qt::LeftButton);
        QVERIFY(checked);
    }

    void secondClickStopsAndTheNextStartsFromTheRoot() {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        fs->addFile("/r.tmp", 2048);
        fs->addFile("/A/a.tmp", 1);
        fs->addFile("/B/b.tmp", 1);
        auto* fake = fs.get();
        MainFrm w(withFake(std::move(fs)), {});
        queueClick(w, "cmdScan");  // handled in the first pause
        QTest::mouseClick(child<QAbstractButton>(w, "cmdScan"), Qt::LeftButton);
        QCOMPARE(rows(w), QStringList({"/r.tmp"}));
        QCOMPARE(text(w, "lblFreed"), QStringLiteral("2 KB"));
        QCOMPARE(text(w, "cmdScan"), QStringLiteral("Start scan"));
        QCOMPARE(child<QWidget>(w, "cmdScan")->property("pictureFrom").toString(),
                 QStringLiteral("imgGo"));
        QVERIFY(child<QWidget>(w, "lstList")->isEnabled());
        QCOMPARE(fake->listedFolders().size(), std::size_t{1});

        QTest::mouseClick(child<QAbstractButton>(w, "cmdScan"), Qt::LeftButton);
        QCOMPARE(rows(w), QStringList({"/r.tmp", "/B/b.tmp", "/A/a.tmp"}));
    }

    // A running scan shows what it found at the display's pace: its first pause shows at once,
    // the next ones only when a frame is due (here, never), and the end shows everything left.
    void scanShowsItsProgressAtTheDisplaysPaceAndItsWholeResultAtTheEnd() {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        fs->addFile("/r.tmp", 2048);
        fs->addFile("/A/a.tmp", 1024);
        fs->addFile("/B/b.tmp", 1024);
        MainFrm w(withFake(std::move(fs)), {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setFramePeriod(std::chrono::hours(1));
        QStringList seen;
        QTimer pause;  // runs in every pause of the scan
        connect(&pause, &QTimer::timeout, &w, [&] {
            seen << rows(w).join(',') + ' ' + text(w, "lblFreed") + ' ' + text(w, "lblWD");
        });
        pause.start(0);
        QTest::mouseClick(child<QAbstractButton>(w, "cmdScan"), Qt::LeftButton);
        pause.stop();
        QCOMPARE(seen.size(), 3);  // one pause per folder
        seen.removeDuplicates();
        QCOMPARE(seen, QStringList{QStringLiteral("/r.tmp 2 KB /")});
        QCOMPARE(rows(w), QStringList({"/r.tmp", "/B/b.tmp", "/A/a.tmp"}));
        QCOMPARE(text(w, "lblFreed"), QStringLiteral("4 KB"));
        QCOMPARE(text(w, "lblWD"), QStringLiteral("/A/"));
        QVERIFY(!child<QWidget>(w, "sLevel")->isVisible());
        QVERIFY(child<QWidget>(w, "lstList")->isEnabled());
    }

    void languageSwitchDuringAScanCaptionsTheStopButton() {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        fs->addFolder("/A");
        MainFrm w(withFake(std::move(fs)), {});
        QString during;
        queueClick(w, "cmdLang");
        QTimer::singleShot(0, &w, [&] { during = text(w, "cmdScan"); });
        QTest::mouseClick(child<QAbstractButton>(w, "cmdScan"), Qt::LeftButton);
        QCOMPARE(during, QStringLiteral("Zastavit"));
        QCOMPARE(text(w, "cmdScan"), QStringLiteral("Skenovat"));
    }

    void closingDuringAScanStopsItAndQuits() {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        for (int i = 0; i < 50; ++i) fs->addFile("/F" + std::to_string(i) + "/x.tmp", 1);
        auto* fake = fs.get();
        MainFrm w(withFake(std::move(fs)), {});
        w.show();
        QTimer::singleShot(0, &w, [&] { w.close(); });
        QTest::mouseClick(child<QAbstractButton>(w, "cmdScan"), Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(fake->listedFolders().size(), std::size_t{1});  // nothing ran on after the close
        QCOMPARE(w.state().Idle, std::int16_t{1});
        QVERIFY(w.state().Folders->isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
