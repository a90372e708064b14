#pragma once

#include <string>

#include <QRect>

#include "widgets/CSkinEdit.h"

class CSkinManager;

// The in-place editor of a preset name (skin section "ListEdit"). The list places it over
// the name; a skin change keeps that place. Enter or leaving the field ends the edit,
// Escape cancels it. Typed letters turn upper case at once, characters the processor's
// Latin-1 names cannot hold are refused as they are typed, and a counter at the right end
// shows how many of the 15 characters are used.
class CPresetNameEdit : public CSkinEdit {
    Q_OBJECT
public:
    // The processor keeps 15 bytes of a name.
    static constexpr int kMaxNameLength = 15;

    explicit CPresetNameEdit(CSkinManager* manager, std::string section = "ListEdit");

    void ApplySkin() override;
    // The counter as drawn, e.g. "7/15".
    [[nodiscard]] QString Counter() const;

signals:
    void editEnded(bool accept);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
