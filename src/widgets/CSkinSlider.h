#pragma once

#include <string>
#include <vector>

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QSlider>

#include "skin/CSkinClient.h"

class CSkinManager;

// A vertical fader drawn from its skin section: a stretched track, tick marks in "color" and
// a thumb image per state. The range minimum lies at the top; a click on the track jumps to
// the nearest tic and the thumb drags with the offset at which it was taken.
class CSkinSlider : public QSlider, public CSkinClient {
    Q_OBJECT
public:
    CSkinSlider(std::string section, CSkinManager* manager);

    void Create(QWidget* parent, unsigned controlId);
    void ApplySkin() override;

    // Pixels from one tic to the next; 0 when the range has fewer than two tics.
    [[nodiscard]] double Scale() const;
    [[nodiscard]] QRect ThumbRect() const;
    // The position whose tic lies nearest to y (client coordinates), before clamping.
    [[nodiscard]] int PositionAt(double y) const;
    // The y of each tic mark drawn.
    [[nodiscard]] std::vector<int> TickMarks() const;
    [[nodiscard]] bool IsDragging() const { return dragging_; }

signals:
    // The user moved the slider to position: a drag step, a click on the track, a wheel
    // turn or a key. Values set by the program do not count.
    void userMoved(int position);
    // The mouse button that went down on the slider, on its thumb or its track, came up:
    // position is where the user left it.
    void userReleased(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum Thumb { ThumbUp, ThumbDown, ThumbDisabled };
    void PrepareTrack();

    const QImage* thumbs_[3] = {nullptr, nullptr, nullptr};
    QRegion thumbRegions_[3];
    QImage thumbArt_[3];
    const QImage* tracks_[2] = {nullptr, nullptr};
    const QImage* trackTwins_[2] = {nullptr, nullptr};
    QImage stretched_[2];
    QRegion trackRegion_;
    QPoint resizeLine_;
    int32_t trackMask_ = 0;
    QColor tickColour_;
    QColor focusColour_;
    int thumbCenter_ = 0;
    int offsetTop_ = 0;
    int offsetBottom_ = 0;
    bool dragging_ = false;
    bool pressed_ = false;
    int dragOffset_ = 0;
};
