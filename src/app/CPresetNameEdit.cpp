#include "app/CPresetNameEdit.h"

#include <QKeyEvent>

CPresetNameEdit::CPresetNameEdit(CSkinManager* manager, std::string section)
    : CSkinEdit(std::move(section), manager) {
    // What the operator sees is what the processor will keep.
    setMaxLength(kMaxNameLength);
}

void CPresetNameEdit::ApplySkin() {
    // The section gives colours and font; the place is the list's.
    const QRect place = geometry();
    CSkinEdit::ApplySkin();
    setGeometry(place);
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
