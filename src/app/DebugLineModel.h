#pragma once

#include <QAbstractListModel>

class DebugLineStore;

// The debug list's model: it holds only the row count; each row's text is read from the
// store when the view asks for it.
class DebugLineModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit DebugLineModel(const DebugLineStore& store, QObject* parent = nullptr);

    // Brings the rows in line with the store: rows dropped from the front go, appended ones
    // come.
    void LinesAdded();
    // The store was emptied.
    void LinesCleared();

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;

private:
    const DebugLineStore& store_;
    int rows_ = 0;
    std::size_t dropped_ = 0;
};
