#include "app/qt/ResultRowsModel.h"

#include <iterator>

#include "app/qt/DisplayText.h"

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
    return displayText(rows_[static_cast<std::size_t>(index.row())]);
}

void ResultRowsModel::append(const NativeString& path) { appended_.push_back(path); }

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

void ResultRowsModel::showPending() {
    for (const Run& run : removed_) {
        const auto first = static_cast<std::ptrdiff_t>(run.first);
        const auto end = first + static_cast<std::ptrdiff_t>(run.count);
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(end - 1));
        rows_.erase(rows_.begin() + first, rows_.begin() + end);
        endRemoveRows();
    }
    removed_.clear();
    applyAppended();
}

void ResultRowsModel::applyAppended() {
    if (appended_.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(appended_.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(appended_.begin()),
                 std::make_move_iterator(appended_.end()));
    appended_.clear();
    endInsertRows();
}

}  // namespace kelmora
