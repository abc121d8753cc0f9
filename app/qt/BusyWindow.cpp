#include "app/qt/BusyWindow.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>

namespace kelmora {

BusyWindow::BusyWindow() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

BusyWindow::~BusyWindow() {
    // What the window system has delivered so far, and what it still holds for the program (the
    // round trip of sync()), passes this filter once more and is dropped.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QGuiApplication::sync();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

bool BusyWindow::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Close) {
        event->ignore();  // the window stays open; the work it is busy with goes on
        return true;
    }
    return event->isInputEvent();
}

}  // namespace kelmora
