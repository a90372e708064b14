#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

class CSkinClient;
class QPainter;

// The mark a skinned control draws while it has the keyboard focus: a two-pixel frame in the
// skin's accent colour. The colour is the STRING "focus_color" ("#RRGGBB") of the
// main window's section "DlgMain", else kDefaultFocusColour: one accent for the whole skin.
inline constexpr QRgb kDefaultFocusColour = 0xFFFFB000;

[[nodiscard]] QColor FocusMarkColour(CSkinClient& client);
// Draws the frame just inside area. Whole logical pixels keep it sharp at every scale.
void DrawFocusMark(QPainter& painter, const QRect& area, const QColor& colour);

// The focus mark over a control whose focus sits in child widgets (the value fields of a spin):
// a frame of the owner's size, kept above its children, transparent to the mouse.
class SkinFocusOverlay : public QWidget {
public:
    explicit SkinFocusOverlay(QWidget* owner);
    void SetColour(const QColor& colour);
    // Shows the mark over the whole owner, or hides it.
    void ShowMark(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_ = QColor::fromRgba(kDefaultFocusColour);
};
