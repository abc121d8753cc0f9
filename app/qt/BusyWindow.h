// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace kelmora {

// Makes the program busy for as long as it lives: the cursor says so, and whatever the user does
// (mouse, keys, wheel, touch) is thrown away as it arrives instead of reaching a widget. A handler
// that lets the window repaint while it works, but must not have other handlers run nested in it,
// keeps one for its whole run.
//
// A close of a window (its close box, the window manager's menu or shortcut, a close event) is
// not thrown away: the window stays open while the work goes on, and is closed as it goes, after
// the input that reached the program but was not handled yet has been thrown away too, so that
// nothing done during the busy time is replayed against the window as it is afterwards.
// One at a time; create and destroy it on the user-interface thread.
class BusyWindow : public QObject {
    Q_OBJECT
  public:
    BusyWindow();
    ~BusyWindow() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QList<QPointer<QWidget>> closeAsked_;  // the windows to close at the end, in the order asked
};

}  // namespace kelmora
