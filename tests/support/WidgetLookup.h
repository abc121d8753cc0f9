// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace kelmora::test {

// The control named `name` below `w`; a test that asks for a control the window lacks stops at
// once, naming it.
template <typename T>
T* child(QWidget& w, const char* name) {
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control named %s", name);
    return found;
}

// The caption of a button or a label.
inline QString text(QWidget& w, const char* name) {
    if (auto* b = w.findChild<QAbstractButton*>(QString::fromLatin1(name))) return b->text();
    return child<QLabel>(w, name)->text();
}

// What a list view shows: its number of rows and the text of each, as displayed.
inline int rowCount(QAbstractItemView* list) { return list->model()->rowCount(); }
inline QString rowText(QAbstractItemView* list, int row) {
    return list->model()->index(row, 0).data().toString();
}
inline QStringList rowTexts(QAbstractItemView* list) {
    QStringList out;
    for (int i = 0; i < rowCount(list); ++i) out << rowText(list, i);
    return out;
}

}  // namespace kelmora::test
