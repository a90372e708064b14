#include "app/CPresetList.h"

#include <algorithm>

#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/CPresetNameEdit.h"
#include "app/PresetCommand.h"
#include "app/PresetFile.h"
#include "skin/SkinDrawing.h"
#include "widgets/CSkinMenu.h"

namespace {
// Upper case in Latin-1, the names' character set: letters without an upper-case form in it
// (sharp s, y with diaeresis) stay as they are.
std::string UpperLatin1(const QString& text) {
    std::string bytes = text.toLatin1().toStdString();
    for (char& c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
            c = static_cast<char>(byte - 0x20);
        }
    }
    return bytes;
}

// Every row is one item height tall, whatever its texts.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    explicit RowHeightDelegate(const CPresetList& list)
        : QStyledItemDelegate(const_cast<CPresetList*>(&list)), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), list_.ItemHeight()};
    }

private:
    const CPresetList& list_;
};

// The short menu's rows are Load and Save to file; they run the commands of those names.
constexpr int kShortMenuCommands[] = {static_cast<int>(PresetCommand::Load),
                                      static_cast<int>(PresetCommand::SaveToFile)};
} // namespace

CPresetList::CPresetList(CSkinManager* manager, std::string section)
    : CSkinList(std::move(section), manager), editor_(std::make_unique<CPresetNameEdit>(manager)) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // The list erases only where no item is; the items paint the rest.
    viewport()->setAutoFillBackground(false);
    // Below the last whole row, outside the viewport, the list's own background shows.
    setAutoFillBackground(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(new RowHeightDelegate(*this));
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CPresetList::OnSelectionChanged);
    connect(editor_.get(), &CPresetNameEdit::editEnded, this, &CPresetList::EndRename);
}

CPresetList::~CPresetList() = default;

void CPresetList::Create(QWidget* parent, unsigned controlId) {
    CSkinList::Create(parent, controlId);
    editor_->Create(viewport(), 0);
    editor_->hide();
}

void CPresetList::ApplySkin() {
    CSkinList::ApplySkin();
    background_ = ColorFromSkin(GetLong("bkcolor"));
    text_ = ColorFromSkin(GetLong("textcolor"));
    currentText_ = ColorFromSkin(GetLong("current_text_color"));
    selectedText_ = ColorFromSkin(GetLong("selected_text_color"));
    selection_ = ColorFromSkin(GetLong("selection_color"));
    BuildMenus();
    doItemsLayout();
    PlaceEditor();
    viewport()->update();
}

void CPresetList::BuildMenus() {
    const int32_t mask = GetLong("icon_colormask");
    auto icon = [this](const char* key) {
        const QImage* image = GetImage(key);
        return image != nullptr ? *image : QImage();
    };
    fullMenu_ = std::make_unique<CSkinMenu>(Manager());
    fullMenu_->Create();
    for (const char* key :
         {"icon_load", "icon_save", "icon_rename", "icon_loadfile", "icon_savefile"}) {
        fullMenu_->AddIcon(icon(key), mask);
    }
    const char* const fullRows[] = {"Load", "Save", "Rename", "Load from file", "Save to file"};
    for (int command = 0; command < 5; ++command) {
        fullMenu_->AddItem(command, fullRows[command]);
    }
    connect(fullMenu_.get(), &CSkinMenu::commandChosen, this, &CPresetList::OnMenuCommand);

    shortMenu_ = std::make_unique<CSkinMenu>(Manager());
    shortMenu_->Create();
    shortMenu_->AddIcon(icon("icon_load"), mask);
    shortMenu_->AddIcon(icon("icon_savefile"), mask);
    shortMenu_->AddItem(0, "Load");
    shortMenu_->AddItem(1, "Save to file");
    connect(shortMenu_.get(), &CSkinMenu::commandChosen, this,
            [this](int row) { OnMenuCommand(kShortMenuCommands[row == 0 ? 0 : 1]); });
}

void CPresetList::SetMarkers(int tr, int dp, int def, int current, int change) {
    tr_ = tr;
    dp_ = dp;
    def_ = def;
    current_ = current;
    change_ = change;
    viewport()->update();
}

void CPresetList::RemoveAllPresets() {
    EndRename(false);
    clear();
    lastSelected_ = -1;
}

bool CPresetList::HasPreset(int preset) const {
    return Item(preset) != nullptr;
}

void CPresetList::InsertPreset(int preset) {
    while (preset >= 0 && topLevelItemCount() <= preset) {
        const int number = topLevelItemCount();
        addTopLevelItem(new QTreeWidgetItem(
            QStringList{QString::fromStdString(PresetFile::Label(number)), QString()}));
    }
}

void CPresetList::SetPresetName(int preset, const std::string& name) {
    if (QTreeWidgetItem* item = Item(preset)) {
        item->setText(1, QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
}

std::string CPresetList::PresetName(int preset) const {
    const QTreeWidgetItem* item = Item(preset);
    return item != nullptr ? item->text(1).toLatin1().toStdString() : std::string();
}

int CPresetList::SelectedPreset() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.front());
}

void CPresetList::ClearSelectionMark(int preset) {
    if (QTreeWidgetItem* item = Item(preset)) {
        item->setSelected(false);
    }
}

void CPresetList::StartRename(int preset) {
    QTreeWidgetItem* item = Item(preset);
    if (item == nullptr) {
        return;
    }
    EndRename(false);
    setFocus();
    scrollToItem(item);
    edited_ = preset;
    editor_->setText(item->text(1));
    PlaceEditor();
    editor_->show();
    editor_->setFocus();
    editor_->selectAll();
    viewport()->update();
}

void CPresetList::EndRename(bool accept) {
    if (edited_ < 0) {
        return;
    }
    const int preset = edited_;
    edited_ = -1;
    const QString text = editor_->text();
    editor_->hide();
    viewport()->update();
    if (!accept || text.isEmpty()) {
        return;
    }
    const std::string name = UpperLatin1(text);
    SetPresetName(preset, name);
    ClearSelectionMark(preset);
    emit presetNameEdited(preset);
}

QString CPresetList::ShownName(int preset) const {
    const QTreeWidgetItem* item = Item(preset);
    QString text = item != nullptr ? item->text(1) : QString();
    if (preset == tr_) {
        text += " (TR)";
    }
    if (preset == dp_) {
        text += " (DP)";
    }
    if (preset == def_) {
        text += " (DEF)";
    }
    return text;
}

int CPresetList::ItemHeight() const {
    const QFontMetrics metrics(font());
    const int h = metrics.height() + std::max(metrics.leading(), 0);
    return h + h / 4;
}

void CPresetList::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    const int preset = index.row();
    const QTreeWidgetItem* item = Item(preset);
    if (item == nullptr) {
        return;
    }
    int itemWidth = 0;
    for (int column = 0; column < columnCount(); ++column) {
        itemWidth += columnWidth(column);
    }
    const QRect itemRect(header()->sectionViewportPosition(0), option.rect.top(), itemWidth,
                         option.rect.height());
    const bool selected = item->isSelected();
    const QColor back = selected ? selection_ : background_;
    const QColor text = selected ? selectedText_ : (preset == current_ ? currentText_ : text_);

    painter->save();
    const bool editing = preset == edited_ && editor_->isVisible();
    if (editing) {
        painter->setClipRegion(QRegion(itemRect).subtracted(QRegion(editor_->geometry())));
    }
    painter->fillRect(itemRect, back);
    painter->setPen(text);
    painter->setFont(font());
    int x = itemRect.left() + 1;
    for (int column = 0; column < columnCount(); ++column) {
        const int width = columnWidth(column);
        if (!(column == 1 && editing)) {
            const QString shown = column == 1 ? ShownName(preset) : item->text(column);
            painter->drawText(QRect(x, itemRect.top(), width, itemRect.height()),
                              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        }
        x += width;
    }
    painter->restore();
}

void CPresetList::paintEvent(QPaintEvent* event) {
    {
        QRegion bare(viewport()->rect());
        int itemWidth = 0;
        for (int column = 0; column < columnCount(); ++column) {
            itemWidth += columnWidth(column);
        }
        const int left = header()->sectionViewportPosition(0);
        for (int i = 0; i < topLevelItemCount(); ++i) {
            const QRect row = visualItemRect(topLevelItem(i));
            if (row.isValid()) {
                bare -= QRect(left, row.top(), itemWidth, row.height());
            }
        }
        QPainter painter(viewport());
        for (const QRect& rect : bare) {
            painter.fillRect(rect, background_);
        }
    }
    CSkinList::paintEvent(event);
}

void CPresetList::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        CSkinList::mousePressEvent(event);
        return;
    }
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item == nullptr) {
        return;
    }
    setCurrentItem(item);
    item->setSelected(true);
    setFocus(Qt::MouseFocusReason);
    const int preset = indexOfTopLevelItem(item);
    CSkinMenu* menu = preset < kUserPresetCount ? fullMenu_.get() : shortMenu_.get();
    menu->popup(event->globalPosition().toPoint());
}

void CPresetList::scrollContentsBy(int dx, int dy) {
    CSkinList::scrollContentsBy(dx, dy);
    PlaceEditor();
}

void CPresetList::resizeEvent(QResizeEvent* event) {
    CSkinList::resizeEvent(event);
    PlaceEditor();
}

void CPresetList::updateGeometries() {
    CSkinList::updateGeometries();
    // Whole rows only: the height left under the last whole row is kept out of the viewport,
    // so the bottom row is never cut, wherever the list is scrolled.
    const int row = ItemHeight();
    QMargins margins = viewportMargins();
    const int height = contentsRect().height() - margins.top();
    const int rest = row > 0 && height > row ? height % row : 0;
    if (margins.bottom() != rest) {
        margins.setBottom(rest);
        setViewportMargins(margins);
    }
}

void CPresetList::OnMenuCommand(int command) {
    emit presetCommand(SelectedPreset(), command);
}

void CPresetList::OnSelectionChanged() {
    const int preset = SelectedPreset();
    if (preset >= 0 && preset != lastSelected_) {
        lastSelected_ = preset;
        emit presetSelected(preset);
    }
}

void CPresetList::PlaceEditor() {
    if (edited_ >= 0) {
        editor_->setGeometry(NameRect(edited_));
    }
}

QRect CPresetList::NameRect(int preset) const {
    const QTreeWidgetItem* item = Item(preset);
    if (item == nullptr) {
        return {};
    }
    const QRect row = visualItemRect(item);
    const int left = header()->sectionViewportPosition(0) + 1 + columnWidth(0);
    return {left, row.top(), columnWidth(1), row.height()};
}

QTreeWidgetItem* CPresetList::Item(int preset) const {
    return preset >= 0 && preset < topLevelItemCount() ? topLevelItem(preset) : nullptr;
}
