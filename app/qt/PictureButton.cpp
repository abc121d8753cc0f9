// SPDX-License-Identifier: MIT
#include "app/qt/PictureButton.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace kelmora {
namespace {

// Gap between the bevel's outer edge and the picture or the caption.
constexpr int kMargin = 2;

}  // namespace

PictureButton::PictureButton(QWidget* parent) : QPushButton(parent) {
    setIconSize({32, 32});
    setAutoDefault(false);
}

QSize PictureButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {std::max(iconSize().width(), metrics.horizontalAdvance(text())) + 4 * kMargin,
            iconSize().height() + metrics.height() + 2 * kMargin};
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);

    // Pressed, the face's contents move by the style's shift, as on a plain push button.
    const bool down = option.state & (QStyle::State_Sunken | QStyle::State_On);
    const QPoint shift =
        down ? QPoint(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                      style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this))
             : QPoint();
    const QRect face = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin).translated(shift);

    // The caption sits on the bottom edge; the picture is centred in what is left above it. Where
    // the caption's line leaves less room than the picture needs, the picture moves up to the
    // bevel's edge and may reach into the caption's leading.
    const int captionHeight = fontMetrics().height();
    const QRect captionRect(face.left(), face.bottom() - captionHeight + 1, face.width(),
                            captionHeight);
    const QSize picture = iconSize();
    const int room = captionRect.top() - face.top() - picture.height();
    const int pictureTop =
        room >= 0 ? face.top() + room / 2 : std::max(face.top() + room, 1 + shift.y());
    const QRect pictureRect(face.left() + (face.width() - picture.width()) / 2, pictureTop,
                            picture.width(), picture.height());
    if (!icon().isNull())
        icon().paint(&painter, pictureRect, Qt::AlignCenter,
                     isEnabled() ? QIcon::Normal : QIcon::Disabled);
    style()->drawItemText(&painter, captionRect, Qt::AlignHCenter | Qt::AlignVCenter, palette(),
                          isEnabled(), text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

}  // namespace kelmora
