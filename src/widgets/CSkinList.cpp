#include "widgets/CSkinList.h"

#include <algorithm>

#include <QHeaderView>
#include <QPalette>

#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"
#include "widgets/SkinFocusMark.h"
#include "widgets/SkinFont.h"

namespace {
// Far more columns than a list could show: a misspelt count does not freeze the program.
constexpr int32_t kMaxColumns = 64;
} // namespace

CSkinList::CSkinList(std::string section, CSkinManager* manager)
    : CSkinClient(std::move(section), manager) {
    focusMark_ = new SkinFocusOverlay(this);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    header()->setSectionsMovable(false);
}

void CSkinList::Create(QWidget* parent, unsigned controlId) {
    setParent(parent);
    SetControlId(this, controlId);
    Attach(this);
    ApplySkin();
    show();
}

void CSkinList::ApplySkin() {
    setGeometry(GetLong("offset_left"), GetLong("offset_top"), GetLong("width"), GetLong("height"));
    const int columns = std::clamp<int32_t>(GetLong("col_number"), 0, kMaxColumns);
    setColumnCount(columns);
    QStringList captions;
    bool anyCaption = false;
    for (int i = 0; i < columns; ++i) {
        const std::string number = std::to_string(i);
        captions << QString::fromStdString(GetString("col" + number + "_caption"));
        anyCaption = anyCaption || !captions.back().isEmpty();
        setColumnWidth(i, std::max<int32_t>(GetLong("col" + number + "_width"), 0));
    }
    setHeaderLabels(captions);
    // A header of empty captions would only take a row away from the items.
    setHeaderHidden(!anyCaption);
    const QColor background = ColorFromSkin(GetLong("bkcolor"));
    const QColor text = ColorFromSkin(GetLong("textcolor"));
    QPalette colours = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, background);
        colours.setColor(group, QPalette::AlternateBase, background);
        colours.setColor(group, QPalette::Window, background);
        colours.setColor(group, QPalette::Text, text);
    }
    setPalette(colours);
    setFont(SkinFont(*this));
    focusMark_->SetColour(FocusMarkColour(*this));
}

bool CSkinList::IsFocusMarked() const {
    return focusMark_->isVisible();
}

void CSkinList::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    focusMark_->ShowMark(true);
}

void CSkinList::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    focusMark_->ShowMark(false);
}

void CSkinList::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    focusMark_->ShowMark(hasFocus());
}
