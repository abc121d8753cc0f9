// SPDX-License-Identifier: MIT
#include <QAbstractButton>
#include <QAccessible>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRawFont>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include "app/qt/ElidedLabel.h"
#include "app/qt/MainFrm.h"
#include "platform/fake/FakeFileSystem.h"

using namespace kelmora;

// Checks the main window against its design, in pixels at 96 dpi (15 twips to the pixel, rounded
// to the nearest): places, fonts, colours, pictures, focus.
class LayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainFrm> window_;
    platform::FakeFileSystem* fs_ = nullptr;  // the window's drive

    MainFrm& w() { return *window_; }
    // Rows as a scan of the fake drive lists them: each folder's files in the order added, the
    // folder added last first.
    void scanFiles(const std::vector<std::string>& paths) {
        for (const auto& path : paths) fs_->addFile(path, 1);
        child<QPushButton>("cmdScan")->click();
    }
    template <typename T = QWidget>
    T* child(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        if (!found) qFatal("no control named %s", name);
        return found;
    }
    static bool isDark(QRgb pixel) { return qGray(pixel) < 128; }

  private slots:
    void init() {
        platform::Services services;
        auto fs = std::make_unique<platform::FakeFileSystem>();
        fs_ = fs.get();
        services.fileSystem = std::move(fs);
        window_ = std::make_unique<MainFrm>(std::move(services), NativeString());
    }
    void cleanup() { window_.reset(); }

    void everyControlSitsAtItsDesignedPlace_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("expected");
        const auto row = [](const char* name, int x, int y, int width, int height) {
            QTest::newRow(name) << QString::fromLatin1(name) << QRect(x, y, width, height);
        };
        // Twips 108 -> 7, 756 -> 50, 1404 -> 94, 1632 -> 109, 660 -> 44, 228 -> 15, 3564 -> 238.
        row("cmdScan", 7, 7, 109, 44);
        row("cmdCA", 7, 50, 109, 44);
        row("cmdDeselect", 7, 94, 109, 44);
        row("cmdErase1", 7, 137, 109, 44);
        row("cmdErase2", 7, 180, 109, 44);
        row("Label2", 7, 238, 109, 15);
        row("Picture1", 7, 259, 109, 15);
        row("Label1", 7, 281, 94, 15);
        row("lblFreed", 7, 295, 102, 15);
        row("lstList", 122, 7, 318, 220);
        row("Label4", 130, 252, 94, 15);
        row("lblWill", 230, 252, 102, 15);
        row("cmdLang", 346, 238, 102, 22);
        row("Command1", 346, 259, 102, 22);
        row("Label3", 122, 295, 198, 15);
        row("lblWD", 7, 317, 440, 15);
        row("imgGo", 410, 288, 32, 32);
        row("imgStop", 367, 288, 32, 32);
    }
    void everyControlSitsAtItsDesignedPlace() {
        QFETCH(QString, name);
        QFETCH(QRect, expected);
        auto* control = w().findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget(), &w());
        QCOMPARE(control->geometry(), expected);
    }

    void gaugeBarCountsFromTheInsideOfItsFrame() {
        auto* frame = child<QFrame>("Picture1");
        auto* bar = child<QFrame>("sLevel");
        QVERIFY(frame->isAncestorOf(bar));
        QCOMPARE(frame->frameShadow(), QFrame::Sunken);
        QVERIFY(frame->frameWidth() > 0);
        // 10 twips -> 1 pixel from the inner edges; 12 x 160 twips -> 1 x 11 pixels.
        QCOMPARE(bar->mapTo(frame, QPoint(0, 0)), frame->contentsRect().topLeft() + QPoint(1, 1));
        QCOMPARE(bar->size(), QSize(1, 11));
    }

    void windowIsFixedWithOnlyACloseBox() {
        QCOMPARE(w().size(), QSize(452, 339));
        QCOMPARE(w().minimumSize(), QSize(452, 339));
        QCOMPARE(w().maximumSize(), QSize(452, 339));
        const Qt::WindowFlags flags = w().windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!w().windowIcon().isNull());
    }

    void fontHasTheCzechLettersAndTheHeadingsAreBold() {
        const QFont font = w().font();
        QCOMPARE(font.pointSizeF(), 7.5);
        if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
            QCOMPARE(font.family(), QStringLiteral("Tahoma"));
        } else {
            // The letters must come from the chosen font itself, not from a fallback or as boxes.
            QCOMPARE(QFontInfo(font).family(), font.family());
            const QRawFont raw = QRawFont::fromFont(font);
            QVERIFY(raw.isValid());
            for (QChar c : QString::fromUtf8("ěščřžýáíéůúĚŠČŘŽÝÁÍÉŮÚ"))
                QVERIFY2(raw.supportsCharacter(c), qPrintable(QString(c)));
        }
        for (const char* name : {"Label1", "Label3", "Label4"}) {
            QVERIFY2(child(name)->font().bold(), name);
            QCOMPARE(child(name)->font().pointSizeF(), 7.5);
            QCOMPARE(child(name)->font().family(), font.family());
        }
        for (const char* name : {"Label2", "lblFreed", "lblWill", "lblWD", "cmdScan", "cmdErase2",
                                 "cmdLang", "Command1", "lstList"}) {
            QVERIFY2(!child(name)->font().bold(), name);
            QCOMPARE(child(name)->font(), font);
        }
    }

    void coloursAreTheDesignedOnes() {
        const QColor green(192, 255, 192);
        QCOMPARE(w().palette().color(QPalette::Window), green);
        QVERIFY(w().autoFillBackground());
        for (const char* name :
             {"cmdScan", "cmdCA", "cmdDeselect", "cmdErase1", "cmdErase2", "cmdLang", "Command1"})
            QCOMPARE(child(name)->palette().color(QPalette::Button), green);
        for (const char* name : {"Label1", "Label3", "Label4", "lblFreed", "lblWill", "lblWD"}) {
            auto* label = child<QLabel>(name);
            QVERIFY2(label->autoFillBackground(), name);
            QCOMPARE(label->palette().color(QPalette::Window), green);
            QCOMPARE(label->palette().color(QPalette::WindowText),
                     QApplication::palette().color(QPalette::WindowText));
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
            QCOMPARE(label->frameShape(), QFrame::NoFrame);
        }
        QVERIFY(!child<QLabel>("Label2")->autoFillBackground());

        // What the screen shows: the window's green around the gauge, its light-yellow inside and
        // a light-blue bar with an outline in the window-text colour.
        w().setGaugeWidth(300);  // 20 pixels
        const QImage image = w().grab().toImage();
        const QPoint inside = child("Picture1")->geometry().topLeft() +
                              child<QFrame>("Picture1")->contentsRect().topLeft();
        QCOMPARE(image.pixelColor(child("Label2")->geometry().bottomRight()), green);
        QCOMPARE(image.pixelColor(inside + QPoint(30, 5)), QColor(255, 255, 192));
        QCOMPARE(image.pixelColor(inside + QPoint(10, 5)), QColor(128, 128, 255));
        QCOMPARE(image.pixelColor(inside + QPoint(1, 1)),
                 QApplication::palette().color(QPalette::WindowText));
        QCOMPARE(image.pixelColor(inside + QPoint(20, 5)),
                 QApplication::palette().color(QPalette::WindowText));
    }

    void onlyTheHoldersAreHiddenAndTheyHoldTheScanPictures() {
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&w()));
        for (QWidget* control : w().findChildren<QWidget*>()) {
            if (control->objectName().isEmpty() || control->parentWidget() != &w()) continue;
            const bool holder = control->objectName().startsWith(QStringLiteral("img"));
            QVERIFY2(control->isVisible() != holder, qPrintable(control->objectName()));
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        }
        const QImage go = child<QLabel>("imgGo")->pixmap().toImage();
        const QImage stop = child<QLabel>("imgStop")->pixmap().toImage();
        QCOMPARE(go.size(), QSize(32, 32));
        QCOMPARE(stop.size(), QSize(32, 32));
        QVERIFY(go != stop);
        auto* scan = child<QAbstractButton>("cmdScan");
        QCOMPARE(scan->icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                 go.convertToFormat(QImage::Format_ARGB32));
        w().setScanPicture(ScanPicture::Stop);
        QCOMPARE(scan->icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                 stop.convertToFormat(QImage::Format_ARGB32));
        for (const char* name : {"cmdCA", "cmdDeselect", "cmdErase1", "cmdErase2"})
            QVERIFY2(!child<QAbstractButton>(name)->icon().isNull(), name);
        QVERIFY(child<QAbstractButton>("cmdLang")->icon().isNull());
        QVERIFY(child<QAbstractButton>("Command1")->icon().isNull());
    }

    void focusStartsOnScanAndTabFollowsTheDesign() {
        w().show();
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w()));
        QCOMPARE(QApplication::focusWidget(), child("cmdScan"));
        const QStringList order{"lstList",   "cmdCA",   "Picture1", "cmdDeselect", "cmdErase1",
                                "cmdErase2", "cmdLang", "Command1", "cmdScan"};
        QStringList seen;
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(seen, order);
        for (QLabel* label : w().findChildren<QLabel*>())
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        for (const char* name : {"cmdScan", "cmdCA", "cmdLang", "Command1"}) {
            auto* button = child<QPushButton>(name);
            QVERIFY2(!button->isDefault() && !button->autoDefault(), name);
        }
    }

    void listShowsEighteenUniformRowsInOrderWithoutHorizontalScrolling() {
        auto* list = child<QListView>("lstList");
        QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(list->textElideMode(), Qt::ElideNone);
        QCOMPARE(list->frameShadow(), QFrame::Sunken);
        std::vector<std::string> paths = {"/a/" + std::string(400, 'x') + ".tmp"};
        for (int i = 0; i < 30; ++i) paths.push_back("/z/" + std::to_string(30 - i) + ".tmp");
        scanFiles(paths);
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&w()));
        const auto index = [list](int row) { return list->model()->index(row, 0); };
        QCOMPARE(index(0).data().toString(), QStringLiteral("/z/30.tmp"));  // not sorted
        QCOMPARE(index(29).data().toString(), QStringLiteral("/z/1.tmp"));
        for (int row : {0, 17, 30}) QCOMPARE(list->visualRect(index(row)).height(), 12);
        QCOMPARE(list->viewport()->height(), 18 * 12);
        QCOMPARE(list->indexAt(QPoint(5, 18 * 12 - 1)).row(), 17);
        QVERIFY(list->verticalScrollBar()->isVisible());
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
        list->scrollTo(index(30));
        QCOMPARE(list->horizontalScrollBar()->value(), 0);
    }

    // With elision the row would end in "…", three dots on the baseline; cut off, the strokes of
    // the last letters run to the list's edge, high in the row as well.
    void pathWiderThanTheListIsCutOffNotElided() {
        auto* list = child<QListView>("lstList");
        scanFiles({"/" + std::string(200, 'M') + ".tmp"});
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&w()));
        const QRect row = list->visualRect(list->model()->index(0, 0));
        QCOMPARE(row.right(), list->viewport()->width() - 1);
        const QImage image = list->viewport()->grab().toImage();
        int inkHighInRow = 0;
        for (int x = row.right() - 7; x <= row.right(); ++x)
            for (int y = row.top(); y < row.center().y(); ++y)
                inkHighInRow += isDark(image.pixel(x, y));
        QVERIFY2(inkHighInRow > 0, "the row's end shows no letters: elided or cut off early");
    }

    void barWiderThanTheGaugeIsClippedAtItsInnerEdge() {
        auto* frame = child<QFrame>("Picture1");
        auto* bar = child<QFrame>("sLevel");
        w().setGaugeWidth(3000);  // 200 pixels, far wider than the 109-pixel box
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&w()));
        QCOMPARE(bar->width(), 200);
        const QRect inside = frame->contentsRect();
        const QRect visible =
            bar->visibleRegion().boundingRect().translated(bar->mapTo(frame, QPoint(0, 0)));
        QVERIFY(!visible.isEmpty());
        QVERIFY2(inside.contains(visible), "the bar shows outside the gauge's inside");
        QCOMPARE(visible.right(), inside.right());
        QCOMPARE(visible.bottom(), inside.bottom());  // 11 pixels from 1 below the top: clipped

        // On screen, the frame's sunken border is still drawn over the bar's end.
        const QImage image = frame->grab().toImage();
        for (int x = inside.right() + 1; x < frame->width(); ++x)
            QVERIFY(image.pixelColor(x, 5) != QColor(128, 128, 255));
    }

    void picturesAreTransparentGif89aImages_data() {
        QTest::addColumn<QString>("file");
        for (const char* name :
             {"start.gif", "stop.gif", "tick.gif", "cross.gif", "prohibition.gif", "sheet.gif"})
            QTest::newRow(name) << QStringLiteral(":/pictures/") + QLatin1String(name);
    }
    void picturesAreTransparentGif89aImages() {
        QFETCH(QString, file);
        QFile gif(file);
        QVERIFY(gif.open(QIODevice::ReadOnly));
        const QByteArray bytes = gif.readAll();
        const auto byte = [&](int i) { return static_cast<unsigned char>(bytes.at(i)); };
        QVERIFY(bytes.size() > 13 + 768 + 8);
        QCOMPARE(bytes.left(6), QByteArray("GIF89a"));
        QCOMPARE(byte(6) | byte(7) << 8, 32);  // logical screen width
        QCOMPARE(byte(8) | byte(9) << 8, 32);
        QVERIFY(byte(10) & 0x80);      // a global colour table...
        QCOMPARE(byte(10) & 0x07, 7);  // ...of 2^(7+1) = 256 entries
        const int gce = 13 + 256 * 3;  // the graphic control extension follows the table
        QCOMPARE(bytes.mid(gce, 3), QByteArray("\x21\xF9\x04"));
        QVERIFY(byte(gce + 3) & 0x01);  // transparency on...
        QCOMPARE(byte(gce + 6), 0);     // ...for index 0
        QCOMPARE(byte(gce + 8), 0x2C);  // then the one image
        QCOMPARE(bytes.back(), '\x3B');

        // Qt decodes the palette to colours with alpha: index 0 comes out fully transparent.
        QImage image;
        QVERIFY(image.loadFromData(bytes, "GIF"));
        QCOMPARE(image.size(), QSize(32, 32));
        QVERIFY(image.hasAlphaChannel());
        int clear = 0, opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                clear += alpha == 0;
                opaque += alpha == 255;
            }
        QCOMPARE(clear + opaque, 32 * 32);
        QVERIFY2(clear > 0 && opaque > 32 * 32 / 8, "no shape on a clear ground");
    }

    void windowIconIsA32PixelPaletteImage() {
        QImage icon(QStringLiteral(":/pictures/kelmora.png"));
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QCOMPARE(icon.colorCount(), 256);
        QCOMPARE(qAlpha(icon.color(0)), 0);
        QCOMPARE(qAlpha(icon.pixel(0, 31)), 0);   // clear around the brush
        QCOMPARE(qAlpha(icon.pixel(7, 8)), 255);  // on the handle
    }

    // What a screen reader is told: the list and the gauge by their names; each total and the
    // path line by its value, with its caption as its label, so that it says "You can free:
    // 125 KB". The path is read whole, "&" included, however little of it fits on screen.
    void screenReadersReadEachValueWithItsCaption() {
        const auto accessible = [this](const char* name) {
            QAccessibleInterface* found = QAccessible::queryAccessibleInterface(child(name));
            if (!found) qFatal("no accessible interface for %s", name);
            return found;
        };
        const auto read = [&](const char* name) {
            return accessible(name)->text(QAccessible::Name);
        };
        const auto captionOf = [&](const char* name) {
            QStringList captions;
            for (const auto& [label, relation] : accessible(name)->relations(QAccessible::Label))
                captions << label->text(QAccessible::Name);
            return captions;
        };
        QVERIFY(!read("lstList").isEmpty());
        QVERIFY(!read("Picture1").isEmpty());
        QVERIFY(read("lstList") != read("Picture1"));

        const std::string path = "/R&D/" + std::string(300, 'x') + "/notes.tmp";
        w().setFreedText("125 KB");
        w().setWillText("7 KB");
        w().setPathLine(path);
        QCOMPARE(read("lblFreed"), QStringLiteral("125 KB"));
        QCOMPARE(captionOf("lblFreed"), QStringList{QStringLiteral("You can free:")});
        QCOMPARE(read("lblWill"), QStringLiteral("7 KB"));
        QCOMPARE(captionOf("lblWill"), QStringList{QStringLiteral("You will free :")});
        QCOMPARE(read("lblWD"), QString::fromStdString(path));
        QCOMPARE(captionOf("lblWD"), QStringList{QStringLiteral("File name:")});

        QTest::mouseClick(child<QAbstractButton>("cmdLang"), Qt::LeftButton);
        QCOMPARE(captionOf("lblFreed"), QStringList{QStringLiteral("Lze uvolnit:")});
        QCOMPARE(read("lblFreed"), QStringLiteral("125 KB"));
    }

    // A path too long for its place stays readable: the path line keeps both its ends and drops
    // its middle, and a row that is cut off at the list's edge shows the whole path in its
    // tooltip. An empty gauge draws nothing at all, before a scan and after one.
    void longPathsStayReadableAndAnEmptyGaugeDrawsNothing() {
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&w()));
        auto* frame = child<QFrame>("Picture1");
        const auto gaugeInk = [frame] {
            const QImage image = frame->grab(frame->contentsRect()).toImage();
            int ink = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ink += image.pixelColor(x, y) != QColor(255, 255, 192);
            return ink;
        };
        QCOMPARE(gaugeInk(), 0);
        w().setGaugeWidth(300);
        QVERIFY(gaugeInk() > 0);
        w().setGaugeWidth(0);  // where every scan leaves it
        QCOMPARE(gaugeInk(), 0);

        const QString folders = QStringLiteral("/") + QString(80, QChar('d')) + QStringLiteral("/");
        const QString path = folders + QStringLiteral("name-at-the-end.tmp");
        w().setPathLine(path.toStdString());
        auto* line = child<ElidedLabel>("lblWD");
        QCOMPARE(line->text(), path);
        const QString shown = line->shownText();
        QVERIFY2(shown.endsWith(QStringLiteral("name-at-the-end.tmp")), qPrintable(shown));
        QVERIFY2(shown.startsWith(QStringLiteral("/ddd")), qPrintable(shown));
        QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
        QVERIFY(line->fontMetrics().horizontalAdvance(shown) <= line->contentsRect().width());

        auto* list = child<QListView>("lstList");
        scanFiles({path.toStdString()});
        const QRect row = list->visualRect(list->model()->index(0, 0));
        QHelpEvent help(QEvent::ToolTip, row.center(), list->viewport()->mapToGlobal(row.center()));
        QApplication::sendEvent(list->viewport(), &help);
        QCOMPARE(QToolTip::text(), path);
        QToolTip::hideText();
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
