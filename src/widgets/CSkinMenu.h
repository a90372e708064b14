#pragma once

#include <string>
#include <vector>

#include <QColor>
#include <QFont>
#include <QMenu>
#include <QPixmap>

#include "skin/CSkinClient.h"

class CSkinManager;

// A popup menu whose rows are drawn from its skin section ("bkcolor_normal",
// "bkcolor_selected", "textcolor_normal", "textcolor_selected" and the font keys), with an
// icon column: the row of command n shows the n-th icon added.
class CSkinMenu : public QMenu, public CSkinClient {
    Q_OBJECT
public:
    static constexpr int kIconSize = 16;
    static constexpr int kIconColumn = 19;
    static constexpr int kIconLeft = 2;
    static constexpr int kTextLeft = 20;

    explicit CSkinMenu(CSkinManager* manager, std::string section = "PopupMenu",
                       QWidget* parent = nullptr);

    // Attaches the menu to the skin and reads it.
    void Create();
    void ApplySkin() override;

    // Appends the image of the next command, maskColour (a skin colour) left transparent.
    void AddIcon(const QImage& image, int32_t maskColour);
    // Appends a row for command; choosing it emits commandChosen(command).
    QAction* AddItem(int command, const QString& text);

    // Row size for text: its extent in the menu font, plus the icon column and margins.
    [[nodiscard]] QSize MeasureRow(const QString& text) const;
    [[nodiscard]] const QFont& RowFont() const { return font_; }
    [[nodiscard]] QColor Background(bool selected) const;
    [[nodiscard]] QColor TextColour(bool selected) const;
    // The icon of command, or a null pixmap.
    [[nodiscard]] QPixmap Icon(int command) const;

signals:
    void commandChosen(int command);

private:
    QFont font_;
    QColor background_[2];
    QColor text_[2];
    std::vector<QPixmap> icons_;
};
