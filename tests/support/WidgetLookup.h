#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QString>
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

}  // namespace kelmora::test
