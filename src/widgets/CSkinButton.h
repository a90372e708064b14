#pragma once

#include <array>
#include <string>

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRegion>
#include <QTimer>

#include "skin/CSkinClient.h"

class CSkinManager;

// A push button drawn from five state images of its skin section, shaped by "bkcolormask"
// (or its full rectangle with "rgn_rect"), with its own caption font and colours, a tooltip,
// and an optional latch ("stick") that keeps it down after a click until its owner clears it.
class CSkinButton : public QAbstractButton, public CSkinClient {
    Q_OBJECT
public:
    // The images in skin order; also the drawing states.
    enum class State { Up, Down, Over, Disabled, DownDisabled };

    CSkinButton(std::string section, CSkinManager* manager);

    void Create(QWidget* parent, unsigned controlId);
    void ApplySkin() override;

    [[nodiscard]] bool IsStuck() const { return stuck_; }
    // Sets the latch without repainting; the owner repaints when it is done.
    void SetStuck(bool stuck) { stuck_ = stuck; }
    // The caption's extent in the button's font plus "x_margin" and "y_margin".
    [[nodiscard]] QSize MeasureCaption(const QString& text) const;

    [[nodiscard]] State CurrentState() const;
    [[nodiscard]] bool IsHovering() const { return hovering_; }
    [[nodiscard]] const QRegion& Shape() const { return region_; }
    [[nodiscard]] const QFont& CaptionFont() const { return font_; }
    [[nodiscard]] const QTimer& TipTimer() const { return tipTimer_; }
    // Presses the key as a click would, latch included; nothing while it is disabled.
    void Press();
    // The keyboard shortcut the owner gave this key, added to its tooltip.
    void SetShortcutText(const QString& text) { shortcut_ = text; }
    // The tooltip as shown: the skin's tip and the shortcut in brackets.
    [[nodiscard]] QString TipText() const;

    static constexpr int kTipShowMs = 34464;

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void PrepareImages();
    // The logical pixel drawn under a pointer position.
    [[nodiscard]] QPoint PixelAt(const QMouseEvent& event) const;
    void SetHovering(bool hovering);
    void ShowTip();

    bool hovering_ = false;
    bool stuck_ = false;
    bool stick_ = false;
    bool drawText_ = false;
    bool rectShape_ = false;
    int32_t maskColour_ = 0;
    QPoint resizeLine_;
    QSize margin_;
    std::array<const QImage*, 5> sources_{};
    std::array<const QImage*, 5> twins_{};
    std::array<QImage, 5> images_;
    std::array<QColor, 5> captionColours_;
    QRegion region_;
    QFont font_;
    QString tip_;
    QString shortcut_;
    QColor focusColour_;
    QTimer tipTimer_;
};
