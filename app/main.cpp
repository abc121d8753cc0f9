#include <QApplication>

#include "app/MainFrm.h"
#include "platform/Platform.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kelmora::MainFrm window(kelmora::platform::makeFileSystem(),
                            kelmora::NativeString(kelmora::kDriveRoot));
    window.show();
    return QApplication::exec();
}
