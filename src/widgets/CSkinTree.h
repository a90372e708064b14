#pragma once

#include <string>

#include <QColor>
#include <QIcon>
#include <QTreeWidget>

#include "skin/CSkinClient.h"

class CSkinManager;
class SkinFocusOverlay;

// A tree dressed from its skin section: placement, font, one icon beside every item, and
// text and background colours for normal, selected and disabled items. It shows no scroll
// bars: its owner scrolls it.
class CSkinTree : public QTreeWidget, public CSkinClient {
    Q_OBJECT
public:
    enum class ItemLook { Normal, Selected, Disabled };

    CSkinTree(std::string section, CSkinManager* manager);

    void Create(QWidget* parent, unsigned controlId);
    void ApplySkin() override;

    [[nodiscard]] QColor TextColour(ItemLook look) const;
    [[nodiscard]] QColor BackgroundColour(ItemLook look) const;
    [[nodiscard]] const QIcon& ItemIcon() const { return icon_; }
    // Whether the focus mark is shown.
    [[nodiscard]] bool IsFocusMarked() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The arrow that opens or closes a group, drawn here so the selected row's arrow takes
    // that row's text colour instead of vanishing into the selection.
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    void SetIcons(QTreeWidgetItem* item);

    QColor text_[3];
    QColor background_[3];
    QColor arrows_;
    QIcon icon_;
    SkinFocusOverlay* focusMark_ = nullptr; // a child, owned by Qt
};
