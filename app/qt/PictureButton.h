// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>

namespace kelmora {

// A graphical command button: filled with its own button colour, its picture centred in the upper
// part and its caption centred below it. The picture is the button's icon, drawn at its icon size.
class PictureButton : public QPushButton {
    Q_OBJECT
  public:
    explicit PictureButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kelmora
