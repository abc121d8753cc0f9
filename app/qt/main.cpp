// SPDX-License-Identifier: MIT
#include <QApplication>

#include "app/qt/MainFrm.h"
#include "platform/Platform.h"
#include "scan/Masks.h"

int main(int argc, char* argv[]) {
    // Before Qt reads a plug-in path or a theme, and before the package databases are read.
    kelmora::platform::keepOnlyTrustedEnvironment();
    QApplication app(argc, argv);
    // Names the installed menu entry, so the desktop shows its icon for the window (Wayland asks).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kelmora.Kelmora"));
    using namespace kelmora;
    platform::Services services{platform::makeFileSystem(isListableName),
                                platform::makeFileRemover(), platform::makeRegistry(),
                                platform::makeProgramStarter()};
    MainFrm window(std::move(services), NativeString(kDriveRoot));
    window.show();
    return QApplication::exec();
}
