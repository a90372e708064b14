#include "app/CPresetNameEdit.h"

#include <QKeyEvent>
#include <QPainter>
#include <QValidator>

namespace {

// Upper case as the processor stores it, in Latin-1 only: a character Latin-1 lacks is
// refused as it is typed. A letter whose upper case lies outside Latin-1 (y with
// diaeresis, micro sign) or is two letters (sharp s) stays as typed.
class CPresetNameValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        for (QChar& c : input) {
            if (c.unicode() == 0 || c.unicode() > 0xFF) {
                return Invalid;
            }
            const QString upper = QString(c).toUpper();
            if (upper.size() == 1 && upper[0].unicode() <= 0xFF) {
                c = upper[0];
            }
        }
        return Acceptable;
    }
};

} // namespace

CPresetNameEdit::CPresetNameEdit(CSkinManager* manager, std::string section)
    : CSkinEdit(std::move(section), manager) {
    // What the operator sees is what the processor will keep.
    setMaxLength(kMaxNameLength);
    setValidator(new CPresetNameValidator(this));
    setToolTip(QStringLiteral("Preset name: upper case, up to %1 characters").arg(kMaxNameLength));
}

QString CPresetNameEdit::Counter() const {
    return QStringLiteral("%1/%2").arg(text().size()).arg(kMaxNameLength);
}

void CPresetNameEdit::ApplySkin() {
    // The section gives colours and font; the place is the list's. The text keeps clear of
    // the counter.
    const QRect place = geometry();
    CSkinEdit::ApplySkin();
    setGeometry(place);
    QMargins margins = textMargins();
    margins.setRight(fontMetrics().horizontalAdvance(QStringLiteral("15/15")) + 6);
    setTextMargins(margins);
}

void CPresetNameEdit::paintEvent(QPaintEvent* event) {
    CSkinEdit::paintEvent(event);
    QPainter painter(this);
    QColor colour = palette().color(QPalette::Text);
    colour.setAlpha(150);
    painter.setPen(colour);
    painter.setFont(font());
    painter.drawText(rect().adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, Counter());
}

void CPresetNameEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        emit editEnded(false);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit editEnded(true);
        return;
    default:
        CSkinEdit::keyPressEvent(event);
    }
}

void CPresetNameEdit::focusOutEvent(QFocusEvent* event) {
    CSkinEdit::focusOutEvent(event);
    // A menu or a tool tip taking the focus for a moment does not end the edit.
    if (event->reason() != Qt::PopupFocusReason) {
        emit editEnded(true);
    }
}
