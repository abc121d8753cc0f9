// SPDX-License-Identifier: MIT
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/qt/MainFrm.h"
#include "platform/Platform.h"
#include "platform/fake/FakeFileRemover.h"
#include "platform/fake/FakeFileSystem.h"
#include "tests/support/IsolatedFileSystem.h"
#include "tests/support/TempTree.h"
#include "tests/support/WidgetLookup.h"

using namespace kelmora;
using platform::FakeFileRemover;
using platform::RemoveOutcome;
using test::child;
using test::text;

// Drives the selection and the two removals through the real main window, by objectName, over a
// fake file system and a fake remover (and once over temporary files and the real remover).
class ResultsWindowTest : public QObject {
    Q_OBJECT

    static QString label(QWidget& w, const char* name) { return child<QLabel>(w, name)->text(); }
    static QListView* list(QWidget& w) { return child<QListView>(w, "lstList"); }
    static void click(QWidget& w, const char* name) {
        QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
    }
    static QPoint rowCentre(QListView* l, int row) {
        const QModelIndex index = l->model()->index(row, 0);
        l->scrollTo(index);
        return l->visualRect(index).center();
    }
    static void clickRow(QWidget& w, int row) {
        QTest::mouseClick(list(w)->viewport(), Qt::LeftButton, {}, rowCentre(list(w), row));
    }
    static QStringList rows(QWidget& w) { return test::rowTexts(list(w)); }
    static QList<int> selected(QWidget& w) {
        QList<int> out;
        for (const QModelIndex& index : list(w)->selectionModel()->selectedIndexes())
            out << index.row();
        std::sort(out.begin(), out.end());
        return out;
    }

    // A shown window whose list holds "/0.tmp", "/1.tmp", ... with the given sizes, found by a
    // scan of a fake file system.
    struct Window {
        FakeFileRemover* remover = nullptr;
        std::unique_ptr<MainFrm> frame;
        MainFrm& operator*() { return *frame; }
        MainFrm* operator->() { return frame.get(); }
    };
    static Window scanned(const std::vector<std::int64_t>& sizes) {
        auto fs = std::make_unique<platform::FakeFileSystem>();
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            // Appended rather than "/" + ...: GCC 12 warns wrongly (-Wrestrict) on that insert.
            std::string path = "/";
            path += std::to_string(i);
            path += ".tmp";
            fs->addFile(path, sizes[i]);
        }
        platform::Services services;
        services.fileSystem = std::move(fs);
        Window window;
        auto remover = std::make_unique<FakeFileRemover>();
        window.remover = remover.get();
        services.remover = std::move(remover);
        window.frame = std::make_unique<MainFrm>(std::move(services), NativeString{});
        window.frame->show();
        if (!QTest::qWaitForWindowExposed(window.frame.get())) qFatal("window not shown");
        click(*window, "cmdScan");
        return window;
    }

  private slots:
    void eachClickTogglesOneRowAndTotalsTheSelection() {
        auto w = scanned({100, 924, 923});
        clickRow(*w, 0);
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/0.tmp"));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
        clickRow(*w, 1);
        QCOMPARE(selected(*w), QList<int>({0, 1}));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("1 KB"));
        clickRow(*w, 1);  // deselects: its path still shows, its size leaves the total
        QCOMPARE(selected(*w), QList<int>({0}));
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/1.tmp"));
        clickRow(*w, 2);
        QCOMPARE(selected(*w), QList<int>({0, 2}));
        QCOMPARE(w->state().SelectedBytes, std::int64_t{1023});
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
    }

    void spaceTogglesTheCurrentRowAndArrowsOnlyMove() {
        auto w = scanned({1024, 2048, 4096});
        clickRow(*w, 0);
        QTest::keyClick(list(*w), Qt::Key_Down);
        QCOMPARE(selected(*w), QList<int>({0}));
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/0.tmp"));
        QTest::keyClick(list(*w), Qt::Key_Space);
        QCOMPARE(selected(*w), QList<int>({0, 1}));
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/1.tmp"));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("3 KB"));
        QTest::keyClick(list(*w), Qt::Key_Space);
        QCOMPARE(selected(*w), QList<int>({0}));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("1 KB"));
    }

    void draggingOverRowsTogglesOnlyThePressedOne() {
        auto w = scanned({1024, 1024, 1024, 1024});
        QWidget* viewport = list(*w)->viewport();
        const QPoint start = rowCentre(list(*w), 0), end = rowCentre(list(*w), 3);
        QTest::mousePress(viewport, Qt::LeftButton, {}, start);
        for (int row : {1, 2, 3}) {
            const QPoint at = rowCentre(list(*w), row);
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
        }
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
        QCOMPARE(selected(*w), QList<int>({0}));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("1 KB"));
    }

    // Through the window system, as a real double click arrives: press, release, double click.
    void doubleClickIsTwoToggles() {
        auto w = scanned({1024, 1024});
        QSignalSpy spy(list(*w), SIGNAL(rowToggled(int)));
        const QPoint at = list(*w)->viewport()->mapTo(w.frame.get(), rowCentre(list(*w), 1));
        QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(selected(*w), QList<int>());
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/1.tmp"));
    }

    void selectAllTakesKeyboardShortcutsOutOfPlay() {
        auto w = scanned({1024, 1024});
        QTest::keyClick(list(*w), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(list(*w), Qt::Key_1);  // a keyboard search lands on "/1.tmp"
        QCOMPARE(selected(*w), QList<int>());
    }

    void selectAllAndDeselectAllOnAFullList() {
        auto w = scanned({1024, 2048, 512});
        clickRow(*w, 1);
        click(*w, "cmdCA");
        QCOMPARE(selected(*w), QList<int>({0, 1, 2}));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("3 KB"));
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/1.tmp"));
        click(*w, "cmdDeselect");
        QCOMPARE(selected(*w), QList<int>());
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/1.tmp"));
    }

    void selectAllAndDeselectAllOnAnEmptyList() {
        auto w = scanned({});
        click(*w, "cmdCA");
        QCOMPARE(test::rowCount(list(*w)), 0);
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
        click(*w, "cmdDeselect");
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
        QCOMPARE(w->state().SelectedBytes, std::int64_t{0});
    }

    void eraseOfRowsOneAndThreeKeepsTheOthersBesideTheirSizesAndTheLabels() {
        auto w = scanned({1024, 2048, 3072, 4096, 5120});
        clickRow(*w, 1);
        clickRow(*w, 3);
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("6 KB"));
        click(*w, "cmdErase1");
        QCOMPARE(rows(*w), QStringList({"/0.tmp", "/2.tmp", "/4.tmp"}));
        const auto& results = w->state().Results;
        QCOMPARE(results.size(), std::size_t{3});
        QCOMPARE(results.pathOf(1), NativeString("/2.tmp"));
        QCOMPARE(results[1].size, std::int64_t{3072});
        QCOMPARE(results[2].size, std::int64_t{5120});
        QCOMPARE(w.remover->calls(),
                 (std::vector<FakeFileRemover::Record>{{FakeFileRemover::Call::Delete, "/3.tmp"},
                                                       {FakeFileRemover::Call::Delete, "/1.tmp"}}));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("6 KB"));
        QCOMPARE(label(*w, "lblFreed"), QStringLiteral("15 KB"));
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/3.tmp"));
    }

    // The rows that leave, between rows that stay, all reach the screen at the end at once.
    void eraseKeepsRefusedFilesSelectedAndDropsVanishedOnes() {
        auto w = scanned({1024, 1024, 1024, 1024, 1024, 1024});
        w.remover->answerDelete("/2.tmp", RemoveOutcome::AlreadyGone);
        w.remover->answerDelete("/3.tmp", RemoveOutcome::Refused, EACCES);
        for (int row : {0, 2, 3, 4, 5}) clickRow(*w, row);
        w->setFramePeriod(std::chrono::hours(1));
        click(*w, "cmdErase1");
        QCOMPARE(rows(*w), QStringList({"/1.tmp", "/3.tmp"}));
        QCOMPARE(selected(*w), QList<int>({1}));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("5 KB"));
        clickRow(*w, 1);
        QCOMPARE(label(*w, "lblWD"), QStringLiteral("/3.tmp"));
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
    }

    void moveToBinKeepsTheMiddleRowWhoseMoveFailed() {
        auto w = scanned({1024, 2048, 4096});
        w.remover->answerTrash("/1.tmp", RemoveOutcome::Refused, EXDEV);
        click(*w, "cmdCA");
        click(*w, "cmdErase2");
        QCOMPARE(rows(*w), QStringList({"/1.tmp"}));
        QCOMPARE(selected(*w), QList<int>({0}));
        QCOMPARE(w->state().Results[0].size, std::int64_t{2048});
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("7 KB"));
        QCOMPARE(label(*w, "lblFreed"), QStringLiteral("7 KB"));
        clickRow(*w, 0);  // the next click recomputes: the row is deselected now
        QCOMPARE(label(*w, "lblWill"), QStringLiteral("0 KB"));
    }

    // While a removal runs the window repaints as rows leave, under a busy cursor; what the user
    // does meanwhile (a click on a row, Space, a click on Start scan) is thrown away instead of
    // being replayed against the shortened list once it is done. A close, from the window system
    // as the close box sends it and from the program, is kept: the window stays open to the last
    // row and closes then.
    void removalShowsRowsLeavingUnderABusyCursorAndDropsInputMadeMeanwhile() {
        auto w = scanned({1024, 1024, 1024, 1024, 1024, 1024});
        for (int row = 1; row < 6; ++row) clickRow(*w, row);
        w->setFramePeriod(std::chrono::milliseconds(0));
        QList<int> rowsSeen;
        bool busy = true, openThroughout = true;
        QTimer pause;  // runs whenever the removal lets events through
        connect(&pause, &QTimer::timeout, &pause, [&] {
            if (w.remover->calls().empty()) return;
            const QCursor* cursor = QApplication::overrideCursor();
            busy = busy && cursor && cursor->shape() == Qt::WaitCursor;
            openThroughout = openThroughout && w->isVisible();
            if (rowsSeen.empty()) {
                QWidget* viewport = list(*w)->viewport();
                const QPoint row0 = rowCentre(list(*w), 0);
                for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                    QCoreApplication::postEvent(
                        viewport, new QMouseEvent(type, row0, viewport->mapToGlobal(row0),
                                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                QCoreApplication::postEvent(list(*w),
                                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, {}));
                auto* scan = child<QAbstractButton>(*w, "cmdScan");
                const QPoint middle = scan->rect().center();
                for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                    QCoreApplication::postEvent(
                        scan, new QMouseEvent(type, middle, scan->mapToGlobal(middle),
                                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                QCoreApplication::postEvent(w->windowHandle(), new QCloseEvent);
                QCoreApplication::postEvent(w.frame.get(), new QCloseEvent);
            }
            rowsSeen << test::rowCount(list(*w));
        });
        pause.start(0);
        click(*w, "cmdErase1");
        pause.stop();
        QCoreApplication::processEvents();  // whatever was kept back would run now

        QVERIFY2(
            std::any_of(rowsSeen.begin(), rowsSeen.end(), [](int n) { return n > 1 && n < 6; }),
            "no frame showed the rows leaving");
        QVERIFY(busy);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(rows(*w), QStringList({"/0.tmp"}));
        QCOMPARE(selected(*w), QList<int>());
        QCOMPARE(w->state().Idle, std::int16_t{1});
        QCOMPARE(w->state().Results.size(), std::size_t{1});
        QVERIFY(openThroughout);
        QCOMPARE(w.remover->calls().size(), std::size_t{5});
        QVERIFY(!w->isVisible());
    }

    void rowsBeyondThe16BitLimitAreSelectedTotalledAndRemoved() {
        // 400 folders of 100 files: the fake looks sizes up folder by folder.
        auto fs = std::make_unique<platform::FakeFileSystem>();
        for (int folder = 0; folder < 400; ++folder)
            for (int file = 0; file < 100; ++file)
                fs->addFile("/F" + std::to_string(folder) + "/" + std::to_string(file) + ".tmp",
                            1024);
        platform::Services services;
        services.fileSystem = std::move(fs);
        services.remover = std::make_unique<FakeFileRemover>();
        MainFrm w(std::move(services), {});
        click(w, "cmdScan");  // hidden: no list layout after each folder
        QCOMPARE(test::rowCount(list(w)), 40'000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        click(w, "cmdCA");
        QCOMPARE(label(w, "lblWill"), QStringLiteral("40000 KB"));
        clickRow(w, 39'999);
        QCOMPARE(label(w, "lblWD"), test::rowText(list(w), 39'999));
        QCOMPARE(label(w, "lblWill"), QStringLiteral("39999 KB"));
        click(w, "cmdDeselect");
        clickRow(w, 32'768);
        const QString next = test::rowText(list(w), 32'769);
        click(w, "cmdErase1");
        QCOMPARE(test::rowCount(list(w)), 39'999);
        QCOMPARE(w.state().Results.size(), std::size_t{39'999});
        QCOMPARE(test::rowText(list(w), 32'768), next);
        QCOMPARE(QString::fromStdString(w.state().Results.pathOf(32'768)), next);
    }

    void eraseOnRealFilesDeletesExactlyTheSelectedNames() {
        test::TempTree tree;
        const std::string odd = "\xff\xfe odd.tmp";
        tree.file(odd, 1024);
        tree.file("ro.tmp", 2048);
        tree.file("keep.tmp", 10);
        std::filesystem::permissions(tree.path("ro.tmp"), std::filesystem::perms::owner_read);
        platform::Services services;
        services.fileSystem = test::makeIsolatedFileSystem();
        services.remover = platform::makeFileRemover();
        MainFrm w(std::move(services), tree.root());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        click(w, "cmdScan");
        QCOMPARE(test::rowCount(list(w)), 3);
        for (int i = 0; i < 3; ++i)
            if (w.state().Results.pathOf(static_cast<std::size_t>(i)) != tree.path("keep.tmp"))
                clickRow(w, i);
        click(w, "cmdErase1");
        QVERIFY(!tree.exists(odd));
        QVERIFY(tree.exists("ro.tmp"));  // no write bit: refused, whoever runs the test
        QVERIFY(tree.exists("keep.tmp"));
        QCOMPARE(w.state().Results.size(), std::size_t{2});
        QCOMPARE(test::rowCount(list(w)), 2);
        for (int i : selected(w))
            QCOMPARE(w.state().Results.pathOf(static_cast<std::size_t>(i)), tree.path("ro.tmp"));
        QCOMPARE(selected(w).size(), 1);
    }
};

QTEST_MAIN(ResultsWindowTest)
#include "results_window_test.moc"
