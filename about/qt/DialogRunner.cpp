// SPDX-License-Identifier: MIT
#include "about/qt/DialogRunner.h"

#include <QDialog>
#include <QMessageBox>

#include "about/AboutTexts.h"
#include "app/qt/DisplayText.h"

namespace kelmora {
namespace {

class ModalDialogRunner : public DialogRunner {
  public:
    void runModal(QDialog& dialog) override { dialog.exec(); }
    void showMessage(QWidget* parent, const QString& text) override {
        makeMessageBox(parent, text)->exec();
    }
};

}  // namespace

DialogRunner& modalDialogRunner() {
    static ModalDialogRunner runner;
    return runner;
}

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const QString& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, fromUtf8(kApplicationTitle), text,
                                             QMessageBox::Ok, parent);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

}  // namespace kelmora
