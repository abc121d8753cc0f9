#pragma once

#include <QObject>

namespace kelmora {

// Makes the program busy for as long as it lives: the cursor says so, and whatever the user does
// (mouse, keys, wheel, touch, asking to close a window) is thrown away as it arrives instead of
// reaching a widget. A handler that lets the window repaint while it works, but must not have
// other handlers run nested in it, keeps one for its whole run.
//
// Before it goes, it also throws away the input that reached the program but was not handled yet,
// so that nothing done during the busy time is replayed against the window as it is afterwards.
// One at a time; create and destroy it on the user-interface thread.
class BusyWindow : public QObject {
    Q_OBJECT
  public:
    BusyWindow();
    ~BusyWindow() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kelmora
