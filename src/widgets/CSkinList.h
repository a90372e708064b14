#pragma once

#include <string>

#include <QTreeWidget>

#include "skin/CSkinClient.h"

class CSkinManager;
class SkinFocusOverlay;

// A report-style list dressed from its skin section: placement, "col_number" columns with
// their captions and widths, colours and font. It shows no scroll bars: its owner scrolls it
// (for instance with repeat buttons).
class CSkinList : public QTreeWidget, public CSkinClient {
    Q_OBJECT
public:
    CSkinList(std::string section, CSkinManager* manager);

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
