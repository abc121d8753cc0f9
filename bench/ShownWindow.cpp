// SPDX-License-Identifier: MIT
#include "bench/ShownWindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QWindow>

namespace kelmora::bench {

bool showExposed(QWidget& window) {
    window.show();
    const QDeadlineTimer deadline(5000);
    while (!(window.windowHandle() && window.windowHandle()->isExposed())) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    settle();
    return true;
}

void settle() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QGuiApplication::sync();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

double secondsToIdle(const std::function<void()>& click) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    click();
    settle();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace kelmora::bench
