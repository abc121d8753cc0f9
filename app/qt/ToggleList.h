// SPDX-License-Identifier: MIT
#pragma once

#include <QListView>

namespace kelmora {

// The result list's widget: any number of rows may be selected, and the user changes the selection
// one row at a time. A left click on a row, or Space on the current row, toggles exactly that row
// and makes it current; every other row keeps its state, and each toggle is announced by
// rowToggled. Nothing else the user does changes the selection: dragging the mouse over rows,
// arrow keys and typing (which only move the current row), and Ctrl+A.
class ToggleList : public QListView {
    Q_OBJECT
  public:
    explicit ToggleList(QWidget* parent = nullptr);

    // Selects or deselects every row in one step (no rowToggled).
    void setAllSelected(bool selected);

  signals:
    // The user toggled `row`, which is now the current row.
    void rowToggled(int row);

  protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void toggle(const QModelIndex& index);
};

}  // namespace kelmora
