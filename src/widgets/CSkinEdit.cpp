#include "widgets/CSkinEdit.h"

#include <QPalette>

#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"
#include "widgets/SkinFocusMark.h"
#include "widgets/SkinFont.h"

CSkinEdit::CSkinEdit(std::string section, CSkinManager* manager)
    : CSkinClient(std::move(section), manager) {
    focusMark_ = new SkinFocusOverlay(this);
}

void CSkinEdit::Create(QWidget* parent, unsigned controlId) {
    setParent(parent);
    SetControlId(this, controlId);
    setFrame(false);
    Attach(this);
    ApplySkin();
    show();
}

void CSkinEdit::ApplySkin() {
    setGeometry(GetLong("offset_left"), GetLong("offset_top"), GetLong("width"), GetLong("height"));
    const QColor background = ColorFromSkin(GetLong("bkcolor"));
    const QColor text = ColorFromSkin(GetLong("textcolor"));
    QPalette colours = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, background);
        colours.setColor(group, QPalette::Window, background);
        colours.setColor(group, QPalette::Text, text);
    }
    // A disabled field keeps its colours but its text fades halfway into the background.
    colours.setColor(QPalette::Disabled, QPalette::Text,
                     QColor((text.red() + background.red()) / 2,
                            (text.green() + background.green()) / 2,
                            (text.blue() + background.blue()) / 2));
    // A hint in an empty field (its placeholder) stands five eighths of the way from the
    // background to the text: dimmer than a value, yet readable on the dark field.
    const QColor hint((5 * text.red() + 3 * background.red()) / 8,
                      (5 * text.green() + 3 * background.green()) / 8,
                      (5 * text.blue() + 3 * background.blue()) / 8);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::PlaceholderText, hint);
    }
    setPalette(colours);
    setAutoFillBackground(true);
    setFont(::SkinFont(*this));
    focusMark_->SetColour(FocusMarkColour(*this));
}

bool CSkinEdit::IsFocusMarked() const {
    return focusMark_->isVisible();
}

void CSkinEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    focusMark_->ShowMark(true);
}

void CSkinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    focusMark_->ShowMark(false);
}

void CSkinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    focusMark_->ShowMark(hasFocus());
}
