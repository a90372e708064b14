#include "widgets/CSkinMenu.h"

#include <algorithm>

#include <QBitmap>
#include <QFontMetrics>
#include <QWidgetAction>

#include "skin/SkinDrawing.h"
#include "widgets/SkinFont.h"
#include "widgets/SkinMenuRow.h"

CSkinMenu::CSkinMenu(CSkinManager* manager, std::string section, QWidget* parent)
    : QMenu(parent), CSkinClient(std::move(section), manager) {}

void CSkinMenu::Create() {
    Attach(this);
    ApplySkin();
}

void CSkinMenu::ApplySkin() {
    background_[0] = ColorFromSkin(GetLong("bkcolor_normal"));
    background_[1] = ColorFromSkin(GetLong("bkcolor_selected"));
    text_[0] = ColorFromSkin(GetLong("textcolor_normal"));
    text_[1] = ColorFromSkin(GetLong("textcolor_selected"));
    font_ = SkinFont(*this);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background_[0]);
    setPalette(colours);
    for (QAction* action : actions()) {
        if (auto* item = qobject_cast<QWidgetAction*>(action)) {
            if (QWidget* row = item->defaultWidget()) {
                row->updateGeometry();
                row->update();
            }
        }
    }
    adjustSize();
}

void CSkinMenu::AddIcon(const QImage& image, int32_t maskColour) {
    // A missing image still takes its command's place: that row draws without an icon.
    if (image.isNull()) {
        icons_.emplace_back();
        return;
    }
    QImage icon = image.convertToFormat(QImage::Format_RGB32);
    if (icon.size() != QSize(kIconSize, kIconSize)) {
        icon = icon.scaled(kIconSize, kIconSize);
    }
    QPixmap pixmap = QPixmap::fromImage(icon);
    pixmap.setMask(QBitmap::fromImage(
        icon.createMaskFromColor(ColorFromSkin(maskColour).rgb(), Qt::MaskInColor)));
    icons_.push_back(pixmap);
}

QAction* CSkinMenu::AddItem(int command, const QString& text) {
    auto* action = new QWidgetAction(this);
    action->setText(text);
    action->setProperty("command", command);
    action->setDefaultWidget(new SkinMenuRow(*this, command, text));
    connect(action, &QAction::triggered, this, [this, command] {
        close();
        emit commandChosen(command);
    });
    addAction(action);
    return action;
}

QSize CSkinMenu::MeasureRow(const QString& text) const {
    const QSize extent = QFontMetrics(font_).size(Qt::TextSingleLine, text);
    return {extent.width() + kTextLeft + 2, std::max(extent.height(), kIconSize) + 4};
}

QColor CSkinMenu::Background(bool selected) const {
    return background_[selected ? 1 : 0];
}

QColor CSkinMenu::TextColour(bool selected) const {
    return text_[selected ? 1 : 0];
}

QPixmap CSkinMenu::Icon(int command) const {
    if (command < 0 || static_cast<size_t>(command) >= icons_.size()) {
        return {};
    }
    return icons_[static_cast<size_t>(command)];
}
