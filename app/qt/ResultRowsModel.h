// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <optional>
#include <vector>

#include "results/ResultList.h"

namespace kelmora {

// The rows of the result list as the list view shows them. It keeps no paths: each row is its key
// in the window's ResultList (4 bytes), and its path is built from there and turned into display
// text only when the row is drawn (its first characters, all one line can show), read out or
// shown in a tooltip (the whole path), and let go after.
//
// Changes wait until showPending(), so that a scan or a removal that changes thousands of rows
// costs the view one change per screen frame instead of one per row: append() and removeRow()
// only record what to do, and rowCount() and data() keep describing the rows as last shown until
// showPending() applies the removals (a run of adjacent rows as one removal, many separate runs as
// one layout change that keeps the selection of the rows that stay) and then the appended rows as
// one insertion. clear() takes effect at once and drops whatever was waiting.
class ResultRowsModel : public QAbstractListModel {
    Q_OBJECT
  public:
    // `results` is the window's result list, which outlives the model.
    ResultRowsModel(const ResultList& results, QObject* parent)
        : QAbstractListModel(parent), results_(results) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    // As the base's, without its checks through virtual calls: the list view asks for an index
    // of every row each time it lays them out.
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    // The display text of the row's path, for showing, for tooltips and for screen readers.
    QVariant data(const QModelIndex& index, int role) const override;

    // Adds the last row of the result list at the end, after every row already added.
    void append();
    // Removes row `row`, numbered as if every change asked for so far had been applied; the rows
    // after it move up by one. The row must exist.
    void removeRow(std::size_t row);
    void clear();

    // True while changes wait for showPending().
    bool hasPending() const { return !appended_.empty() || !removed_.empty(); }
    void showPending();
    // The first row, as the view shows it now, that a waiting change moves or takes out (appended
    // rows join after the last); nothing when no change waits.
    std::optional<std::size_t> firstChangedRow() const;

  private:
    // A run of adjacent rows to remove: `count` rows from `first`, numbered as the rows stand
    // once the runs before it are gone.
    struct Run {
        std::size_t first = 0, count = 0;
    };
    void applyRemoved();
    void applyAppended();

    const ResultList& results_;
    std::vector<ResultList::Key> rows_;      // the rows as shown
    std::vector<ResultList::Key> appended_;  // rows to add at the end
    std::vector<Run> removed_;               // runs to remove, in the order asked
};

}  // namespace kelmora
