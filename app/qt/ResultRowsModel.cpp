// SPDX-License-Identifier: MIT
#include "app/qt/ResultRowsModel.h"

#include <algorithm>
#include <iterator>

#include "app/qt/DisplayText.h"
#include "window/PathLine.h"

namespace kelmora {

int ResultRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QModelIndex ResultRowsModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return {};
    return createIndex(row, column);
}

QVariant ResultRowsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    NativeString path;
    results_.pathOf(results_.atKey(rows_[static_cast<std::size_t>(index.row())]), path);
    // The list cuts a row off at its right edge: a path megabytes long is shown by its start.
    return displayText(role == Qt::DisplayRole ? endsOfPath(path) : path);
}

void ResultRowsModel::append() { appended_.push_back(results_.keyOf(results_.size() - 1)); }

void ResultRowsModel::removeRow(std::size_t row) {
    // Rows still waiting to be added are numbered after the shown ones: show them first, so that
    // every run below counts only shown rows.
    if (!appended_.empty()) applyAppended();
    if (!removed_.empty()) {
        Run& last = removed_.back();
        // Walking up from the last row, the next row removed lies just above the run; walking
        // down, it is the row that moved up into the run's place.
        if (row + 1 == last.first) {
            last.first = row;
            ++last.count;
            return;
        }
        if (row == last.first) {
            ++last.count;
            return;
        }
    }
    removed_.push_back({row, 1});
}

void ResultRowsModel::clear() {
    beginResetModel();
    rows_.clear();
    appended_.clear();
    removed_.clear();
    endResetModel();
}

std::optional<std::size_t> ResultRowsModel::firstChangedRow() const {
    if (!hasPending()) return std::nullopt;
    // Each run is numbered after the ones before it, which leave the rows above them where they
    // are: the smallest first row is the first row that moves.
    std::size_t first = rows_.size();
    for (const Run& run : removed_) first = std::min(first, run.first);
    return first;
}

void ResultRowsModel::showPending() {
    applyRemoved();
    applyAppended();
}

void ResultRowsModel::applyRemoved() {
    if (removed_.empty()) return;
    // Runs asked from the last row up (as a removal walks) are each numbered as the rows stood at
    // first, so they can all go in one pass.
    bool fromTheEnd = true;
    for (std::size_t i = 1; i < removed_.size(); ++i)
        fromTheEnd = fromTheEnd && removed_[i].first + removed_[i].count <= removed_[i - 1].first;
    if (removed_.size() == 1 || !fromTheEnd) {
        for (const Run& run : removed_) {
            const auto first = static_cast<std::ptrdiff_t>(run.first);
            const auto end = first + static_cast<std::ptrdiff_t>(run.count);
            beginRemoveRows({}, static_cast<int>(first), static_cast<int>(end - 1));
            rows_.erase(rows_.begin() + first, rows_.begin() + end);
            endRemoveRows();
        }
        removed_.clear();
        return;
    }
    // Many separate runs: one layout change instead of one removal per run. Each removal makes
    // the model visit every persistent index, and the selection keeps two per selected range, so
    // that runs between rows that stay selected would cost the square of their number.
    std::reverse(removed_.begin(), removed_.end());  // top down
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Where each row goes: the rows of a run vanish, the others move up by the rows gone above.
    std::vector<std::size_t> goneBefore(removed_.size() + 1, 0);  // rows in the runs before run i
    for (std::size_t i = 0; i < removed_.size(); ++i)
        goneBefore[i + 1] = goneBefore[i] + removed_[i].count;
    const auto newRow = [this, &goneBefore](int row) -> int {
        const auto r = static_cast<std::size_t>(row);
        const auto after =
            std::upper_bound(removed_.begin(), removed_.end(), r,
                             [](std::size_t x, const Run& run) { return x < run.first; });
        const auto runsAbove = static_cast<std::size_t>(after - removed_.begin());
        if (runsAbove > 0 && r < std::prev(after)->first + std::prev(after)->count) return -1;
        return static_cast<int>(r - goneBefore[runsAbove]);
    };
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from) {
        const int row = index.isValid() ? newRow(index.row()) : -1;
        to.append(row < 0 ? QModelIndex() : createIndex(row, 0));
    }
    std::size_t kept = removed_.front().first;
    auto run = removed_.begin();
    for (std::size_t row = kept; row < rows_.size(); ++row) {
        if (run != removed_.end() && row >= run->first) {
            if (row + 1 == run->first + run->count) ++run;
            continue;
        }
        rows_[kept++] = rows_[row];
    }
    rows_.resize(kept);
    removed_.clear();
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultRowsModel::applyAppended() {
    if (appended_.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(appended_.size()) - 1);
    rows_.insert(rows_.end(), appended_.begin(), appended_.end());
    appended_.clear();
    endInsertRows();
}

}  // namespace kelmora
