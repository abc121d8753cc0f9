// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

namespace kelmora {

// A one-line label that shows a text too wide for it with its middle left out ("…"), so that both
// ends stay visible: for a path, where it starts and the file's own name. Its text, and so what a
// screen reader reads, stays the whole text; only the drawing is shortened.
class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    // Plain text: a path that looks like markup is still shown as the path.
    explicit ElidedLabel(QWidget* parent = nullptr);

    // What the label draws: text() itself when it fits, otherwise its two ends around "…".
    QString shownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kelmora
