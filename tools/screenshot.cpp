// SPDX-License-Identifier: MIT
// Renders the main window after a scan of a small made-up drive and saves it as a PNG, for the
// README. Runs headless (QT_QPA_PLATFORM=offscreen); nothing on the real disk is read.
//
//   kelmora_screenshot OUTPUT.png [czech]

#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "app/qt/MainFrm.h"
#include "platform/fake/FakeFileSystem.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [czech]\n", argv[0]);
        return 2;
    }
    using namespace kelmora;
    auto fs = std::make_unique<platform::FakeFileSystem>();
    fs->addFile("/home/jana/Dokumenty/přihláška.doc.bak", 48'128);
    fs->addFile("/home/jana/Dokumenty/rozpočet 2024.xls.old", 131'072);
    fs->addFile("/home/jana/.cache/thumbnails/náhled-šablony.tmp", 9'216);
    fs->addFile("/home/jana/Stažené/instalace/setup.~01", 1'572'864);
    fs->addFile(
        "/home/jana/Projekty/kronika/kapitoly/první část/koncept úvodu a poznámky "
        "k prvnímu vydání.txt.bak",
        22'528);
    fs->addFile("/var/tmp/sezení-4f2a.tmp", 4'096);
    fs->addFile("/srv/archiv/FILE0001.CHK", 65'536);
    platform::Services services;
    services.fileSystem = std::move(fs);

    MainFrm window(std::move(services), NativeString());
    if (argc > 2 && QByteArray(argv[2]) == "czech")
        window.findChild<QAbstractButton*>(QStringLiteral("cmdLang"))->click();
    window.findChild<QAbstractButton*>(QStringLiteral("cmdScan"))->click();  // returns when done
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
