// SPDX-License-Identifier: MIT
#include "app/qt/ToggleList.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace kelmora {

ToggleList::ToggleList(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::MultiSelection);
}

void ToggleList::setAllSelected(bool selected) {
    const int rows = model() ? model()->rowCount() : 0;
    if (rows == 0) return;
    // One range instead of a call per row: a list of many thousand rows is selected at once.
    const QItemSelection all(model()->index(0, 0), model()->index(rows - 1, 0));
    selectionModel()->select(
        all, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

QItemSelectionModel::SelectionFlags ToggleList::selectionCommand(const QModelIndex&,
                                                                 const QEvent*) const {
    // The view's own rules would toggle every row a drag passes over and the row a keyboard
    // search lands on; here only toggle() changes the selection.
    return QItemSelectionModel::NoUpdate;
}

void ToggleList::toggle(const QModelIndex& index) {
    if (!index.isValid() || !(index.flags() & Qt::ItemIsEnabled)) return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selectionModel()->select(index, QItemSelectionModel::Toggle);
    emit rowToggled(index.row());
}

void ToggleList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) toggle(indexAt(event->position().toPoint()));
    event->accept();
}

// A press toggles its row once; what the mouse does until it is released changes nothing.
void ToggleList::mouseMoveEvent(QMouseEvent* event) { event->accept(); }
void ToggleList::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void ToggleList::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click arrives as this event alone: it toggles again, like
    // any other click.
    mousePressEvent(event);
}

void ToggleList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) {
        toggle(currentIndex());
        event->accept();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

}  // namespace kelmora
