#include <QApplication>

#include "app/MainFrm.h"
#include "platform/Platform.h"
#include "scan/Masks.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    using namespace kelmora;
    platform::Services services{platform::makeFileSystem(isListableName),
                                platform::makeFileRemover(), platform::makeRegistry(),
                                platform::makeProgramStarter()};
    MainFrm window(std::move(services), NativeString(kDriveRoot));
    window.show();
    return QApplication::exec();
}
