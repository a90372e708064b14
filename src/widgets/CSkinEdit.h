#pragma once

#include <string>

#include <QLineEdit>

#include "skin/CSkinClient.h"

class CSkinManager;
class SkinFocusOverlay;

// A single-line edit field placed, coloured ("bkcolor", "textcolor") and given its font by
// its skin section.
class CSkinEdit : public QLineEdit, public CSkinClient {
    Q_OBJECT
public:
    CSkinEdit(std::string section, CSkinManager* manager);

    void Create(QWidget* parent, unsigned controlId);
    void ApplySkin() override;
    // Whether the focus mark is shown.
    [[nodiscard]] bool IsFocusMarked() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    SkinFocusOverlay* focusMark_ = nullptr; // a child, owned by Qt
};
