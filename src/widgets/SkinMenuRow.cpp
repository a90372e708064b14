#include "widgets/SkinMenuRow.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "widgets/CSkinMenu.h"

SkinMenuRow::SkinMenuRow(CSkinMenu& menu, int command, QString text)
    : menu_(menu), command_(command), text_(std::move(text)) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

QSize SkinMenuRow::sizeHint() const {
    return menu_.MeasureRow(text_);
}

void SkinMenuRow::paintEvent(QPaintEvent*) {
    const bool selected = IsSelected();
    QPainter painter(this);
    if (selected) {
        painter.fillRect(QRect(0, 0, CSkinMenu::kIconColumn, height()), menu_.Background(false));
        painter.fillRect(
            QRect(CSkinMenu::kIconColumn, 0, width() - CSkinMenu::kIconColumn, height()),
            menu_.Background(true));
    } else {
        painter.fillRect(rect(), menu_.Background(false));
    }
    const QPixmap icon = menu_.Icon(command_);
    if (!icon.isNull()) {
        painter.drawPixmap(CSkinMenu::kIconLeft, (height() - icon.height()) / 2, icon);
    }
    painter.setFont(menu_.RowFont());
    painter.setPen(menu_.TextColour(selected));
    painter.drawText(rect().adjusted(CSkinMenu::kTextLeft, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

void SkinMenuRow::enterEvent(QEnterEvent*) {
    hovered_ = true;
    update();
}

void SkinMenuRow::leaveEvent(QEvent*) {
    hovered_ = false;
    update();
}

void SkinMenuRow::focusInEvent(QFocusEvent*) {
    update();
}

void SkinMenuRow::focusOutEvent(QFocusEvent*) {
    update();
}

void SkinMenuRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Choose();
    }
}

void SkinMenuRow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        Choose();
        return;
    }
    // Arrows and Escape belong to the menu.
    event->ignore();
}

void SkinMenuRow::Choose() {
    for (QAction* action : menu_.actions()) {
        if (action->property("command").toInt() == command_) {
            action->trigger();
            return;
        }
    }
}
