#include "app/DebugLineModel.h"

#include <algorithm>

#include "app/DebugLineStore.h"

DebugLineModel::DebugLineModel(const DebugLineStore& store, QObject* parent)
    : QAbstractListModel(parent), store_(store) {}

void DebugLineModel::LinesAdded() {
    const std::size_t gone = store_.Dropped() - dropped_;
    if (gone > 0) {
        const int removed = static_cast<int>(std::min<std::size_t>(gone, rows_));
        if (removed > 0) {
            beginRemoveRows(QModelIndex(), 0, removed - 1);
            rows_ -= removed;
            endRemoveRows();
        }
        dropped_ = store_.Dropped();
    }
    const int count = static_cast<int>(store_.Count());
    if (count <= rows_) {
        return;
    }
    beginInsertRows(QModelIndex(), rows_, count - 1);
    rows_ = count;
    endInsertRows();
}

void DebugLineModel::LinesCleared() {
    beginResetModel();
    rows_ = static_cast<int>(store_.Count());
    dropped_ = store_.Dropped();
    endResetModel();
}

int DebugLineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant DebugLineModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_ ||
        static_cast<std::size_t>(index.row()) >= store_.Count()) {
        return {};
    }
    return QString::fromUtf8(store_.Line(static_cast<std::size_t>(index.row())));
}
