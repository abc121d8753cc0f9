// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <string_view>

#include "window/DesignLayout.h"

namespace kelmora {

// A designed colour, given as 0xRRGGBB.
inline QColor designColour(unsigned rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

// The pixel rectangle of the control `name` in a designed layout; empty when it is not there.
template <std::size_t N>
QRect designRect(const std::array<DesignRect, N>& layout, std::string_view name) {
    for (const auto& r : layout)
        if (r.name == name)
            return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
                    twipsToPixels(r.height)};
    return {};
}

// Names `widget` after its control (its objectName) and puts it where the layout designs it.
template <typename W, std::size_t N>
W* placeControl(W* widget, const std::array<DesignRect, N>& layout, std::string_view name) {
    widget->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    widget->setGeometry(designRect(layout, name));
    return widget;
}

}  // namespace kelmora
