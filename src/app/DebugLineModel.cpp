#include "app/DebugLineModel.h"

#include "app/DebugLineStore.h"

DebugLineModel::DebugLineModel(const DebugLineStore& store, QObject* parent)
    : QAbstractListModel(parent), store_(store) {}

void DebugLineModel::LinesAdded() {
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
