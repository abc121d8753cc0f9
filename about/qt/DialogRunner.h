// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <memory>

class QDialog;
class QMessageBox;
class QWidget;

namespace kelmora {

// How the windows show their modal dialog and their message box. The program uses
// modalDialogRunner(), which runs each in its own modal event loop; tests put in a runner that
// answers them at once, so no test ever waits on a real modal loop.
class DialogRunner {
  public:
    virtual ~DialogRunner() = default;
    // Shows `dialog` modally and returns once it has closed.
    virtual void runModal(QDialog& dialog) = 0;
    // Shows `text` in the program's message box (see makeMessageBox) above `parent` and returns
    // once it has been answered.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
};

// The real runner: QDialog::exec for the dialog, makeMessageBox's box for a message.
DialogRunner& modalDialogRunner();

// The program's message box: application-modal, a single OK button, no icon, the application
// title as its caption.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const QString& text);

}  // namespace kelmora
