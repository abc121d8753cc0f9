// SPDX-License-Identifier: MIT
#include "app/qt/BusyWindow.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QWindow>
#include <utility>

namespace kelmora {
namespace {

// The widget window that a close event is for: the window system sends it to the window's
// QWindow, which hands it on to its widget, and a program sends it to the widget itself.
QWidget* closingWidget(QObject* target) {
    if (auto* widget = qobject_cast<QWidget*>(target)) return widget->isWindow() ? widget : nullptr;
    if (auto* window = qobject_cast<QWindow*>(target))
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->windowHandle() == window) return widget;
    return nullptr;
}

}  // namespace

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
    for (const QPointer<QWidget>& window : std::exchange(closeAsked_, {}))
        if (window) window->close();
}

bool BusyWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close) {
        // The window stays open while the work it is busy with goes on; it closes at the end.
        QWidget* window = closingWidget(watched);
        if (window && !closeAsked_.contains(window)) closeAsked_.append(window);
        event->ignore();
        return true;
    }
    return event->isInputEvent();
}

}  // namespace kelmora
