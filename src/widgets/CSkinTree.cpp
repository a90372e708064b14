#include "widgets/CSkinTree.h"

#include <algorithm>

#include <QHeaderView>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPolygonF>

#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"
#include "widgets/SkinFocusMark.h"
#include "widgets/SkinFont.h"

CSkinTree::CSkinTree(std::string section, CSkinManager* manager)
    : CSkinClient(std::move(section), manager) {
    focusMark_ = new SkinFocusOverlay(this);
    setHeaderHidden(true);
    setColumnCount(1);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setIconSize(QSize(16, 16));
}

void CSkinTree::Create(QWidget* parent, unsigned controlId) {
    setParent(parent);
    SetControlId(this, controlId);
    Attach(this);
    ApplySkin();
    show();
}

void CSkinTree::ApplySkin() {
    setGeometry(GetLong("offset_left"), GetLong("offset_top"), GetLong("width"), GetLong("height"));
    const auto normal = static_cast<size_t>(ItemLook::Normal);
    const auto selected = static_cast<size_t>(ItemLook::Selected);
    const auto disabled = static_cast<size_t>(ItemLook::Disabled);
    text_[normal] = ColorFromSkin(GetLong("text_color"));
    background_[normal] = ColorFromSkin(GetLong("bkcolor"));
    text_[selected] = ColorFromSkin(GetLong("selected_text_color"));
    background_[selected] = ColorFromSkin(GetLong("selection_color"));
    text_[disabled] = ColorFromSkin(GetLong("disabled_text_color"));
    background_[disabled] = ColorFromSkin(GetLong("disabled_color"));
    QPalette colours = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, background_[normal]);
        colours.setColor(group, QPalette::Window, background_[normal]);
        colours.setColor(group, QPalette::Text, text_[normal]);
    }
    // The style draws the expanders in the window text colour: "expander_color", else the
    // text colour, so they never stay the style's dark on the dark tree.
    const int32_t expander = GetLong("expander_color");
    const QColor arrows = expander != 0 ? ColorFromSkin(expander) : text_[normal];
    arrows_ = arrows;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::WindowText, arrows);
        colours.setColor(group, QPalette::ButtonText, arrows);
    }
    setPalette(colours);
    const QImage* icon = GetIcon("icon");
    icon_ = icon != nullptr ? QIcon(QPixmap::fromImage(icon->scaled(16, 16, Qt::IgnoreAspectRatio,
                                                                    Qt::SmoothTransformation)))
                            : QIcon();
    // On a dense screen the icon's twin gives the pixels of twice the size.
    if (const QImage* twin = GetIconTwin("icon"); twin != nullptr && icon != nullptr) {
        QPixmap sharp = QPixmap::fromImage(
            twin->scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        sharp.setDevicePixelRatio(2.0);
        icon_.addPixmap(sharp);
    }
    for (int i = 0; i < topLevelItemCount(); ++i) {
        SetIcons(topLevelItem(i));
    }
    setFont(SkinFont(*this));
    focusMark_->SetColour(FocusMarkColour(*this));
}

QColor CSkinTree::TextColour(ItemLook look) const {
    return text_[static_cast<size_t>(look)];
}

QColor CSkinTree::BackgroundColour(ItemLook look) const {
    return background_[static_cast<size_t>(look)];
}

void CSkinTree::SetIcons(QTreeWidgetItem* item) {
    item->setIcon(0, icon_);
    for (int i = 0; i < item->childCount(); ++i) {
        SetIcons(item->child(i));
    }
}

void CSkinTree::rowsInserted(const QModelIndex& parent, int start, int end) {
    QTreeWidget::rowsInserted(parent, start, end);
    QTreeWidgetItem* owner = parent.isValid() ? itemFromIndex(parent) : nullptr;
    for (int row = start; row <= end; ++row) {
        QTreeWidgetItem* item = owner != nullptr ? owner->child(row) : topLevelItem(row);
        if (item != nullptr) {
            SetIcons(item);
        }
    }
}

void CSkinTree::drawBranches(QPainter* painter, const QRect& rect,
                             const QModelIndex& index) const {
    if (model() == nullptr || !model()->hasChildren(index)) {
        return;
    }
    const bool selected = selectionModel() != nullptr && selectionModel()->isSelected(index);
    // The arrow stands in the last indentation step before the item, as the style puts it.
    const int step = indentation();
    const QRectF cell(rect.right() + 1 - step, rect.top(), step, rect.height());
    const qreal half = std::min<qreal>(4.0, std::min(cell.width(), cell.height()) / 3.0);
    const QPointF centre = cell.center();
    QPolygonF arrow;
    if (isExpanded(index)) {
        arrow << centre + QPointF(-half, -half / 2) << centre + QPointF(half, -half / 2)
              << centre + QPointF(0, half / 2 + 1);
    } else {
        arrow << centre + QPointF(-half / 2, -half) << centre + QPointF(-half / 2, half)
              << centre + QPointF(half / 2 + 1, 0);
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(selected ? TextColour(ItemLook::Selected) : arrows_);
    painter->drawPolygon(arrow);
    painter->restore();
}

void CSkinTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    // Selected wins over disabled, and a disabled item keeps its colours in an enabled tree.
    ItemLook look = ItemLook::Normal;
    if (selectionModel() != nullptr && selectionModel()->isSelected(index)) {
        look = ItemLook::Selected;
    } else if (!(index.flags() & Qt::ItemIsEnabled)) {
        look = ItemLook::Disabled;
    }
    const QColor text = TextColour(look);
    const QColor background = BackgroundColour(look);
    QStyleOptionViewItem row = option;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        row.palette.setColor(group, QPalette::Text, text);
        row.palette.setColor(group, QPalette::HighlightedText, text);
        row.palette.setColor(group, QPalette::Highlight, background);
        row.palette.setColor(group, QPalette::Base, background);
    }
    // The style paints selections its own way: the skin's colours are the whole look.
    row.state &= ~QStyle::State_Selected;
    row.state |= QStyle::State_Enabled;
    painter->fillRect(option.rect, background);
    QTreeWidget::drawRow(painter, row, index);
}

bool CSkinTree::IsFocusMarked() const {
    return focusMark_->isVisible();
}

void CSkinTree::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    focusMark_->ShowMark(true);
}

void CSkinTree::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    focusMark_->ShowMark(false);
}

void CSkinTree::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    focusMark_->ShowMark(hasFocus());
}
