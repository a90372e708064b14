#include "widgets/CSkinSlider.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>

#include "widgets/SkinFocusMark.h"
#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"

CSkinSlider::CSkinSlider(std::string section, CSkinManager* manager)
    : QSlider(Qt::Vertical), CSkinClient(std::move(section), manager) {
    // The minimum is at the top, so the up key and the wheel move towards it.
    setInvertedControls(true);
    setInvertedAppearance(true);
    setTickPosition(QSlider::TicksBothSides);
    setTickInterval(1);
}

void CSkinSlider::Create(QWidget* parent, unsigned controlId) {
    setParent(parent);
    SetControlId(this, controlId);
    Attach(this);
    ApplySkin();
    show();
}

void CSkinSlider::ApplySkin() {
    const char* thumbKeys[] = {"up", "down", "thumb_disabled"};
    const int32_t thumbMask = GetLong("thumbcolormask");
    for (int i = 0; i < 3; ++i) {
        thumbs_[i] = GetImage(thumbKeys[i]);
        thumbRegions_[i] =
            thumbs_[i] != nullptr ? CreateRegionFromBitmap(*thumbs_[i], thumbMask) : QRegion();
        thumbArt_[i] = thumbs_[i] != nullptr
                           ? ArtForRatio(*thumbs_[i], *thumbs_[i], GetTwin(thumbKeys[i]),
                                         QPoint(-1, -1), devicePixelRatioF(), thumbMask,
                                         TwinCutOut::Transparent)
                           : QImage();
    }
    tracks_[0] = GetImage("background");
    tracks_[1] = GetImage("background_disabled");
    trackTwins_[0] = GetTwin("background");
    trackTwins_[1] = GetTwin("background_disabled");
    resizeLine_ = QPoint(GetLong("resize_line_x"), GetLong("resize_line_y"));
    trackMask_ = GetLong("bkcolormask");
    tickColour_ = ColorFromSkin(GetLong("color"));
    focusColour_ = FocusMarkColour(*this);
    thumbCenter_ = GetLong("thumb_center");
    offsetTop_ = GetLong("offset_top");
    offsetBottom_ = GetLong("offset_bottom");
    PrepareTrack();
    update();
}

void CSkinSlider::resizeEvent(QResizeEvent* event) {
    QSlider::resizeEvent(event);
    PrepareTrack();
}

void CSkinSlider::PrepareTrack() {
    for (int i = 0; i < 2; ++i) {
        stretched_[i] = tracks_[i] != nullptr
                            ? StretchByResizeLines(*tracks_[i], resizeLine_, size())
                            : QImage();
    }
    trackRegion_ =
        stretched_[0].isNull() ? QRegion() : CreateRegionFromBitmap(stretched_[0], trackMask_);
    for (int i = 0; i < 2; ++i) {
        if (tracks_[i] != nullptr) {
            stretched_[i] = ArtForRatio(*tracks_[i], stretched_[i], trackTwins_[i], resizeLine_,
                                        devicePixelRatioF(), trackMask_, TwinCutOut::Transparent);
        }
    }
}

double CSkinSlider::Scale() const {
    // Fewer than two tics leave no distance to divide: everything sits on the first tic.
    const int64_t tics = int64_t{maximum()} - minimum() + 1;
    if (tics < 2) {
        return 0.0;
    }
    return static_cast<double>(height() - offsetBottom_ - offsetTop_) /
           static_cast<double>(tics - 1);
}

QRect CSkinSlider::ThumbRect() const {
    const QImage* thumb = thumbs_[ThumbUp];
    const QSize size = thumb != nullptr ? thumb->size() : QSize(0, 0);
    const double top = (double(value()) - minimum()) * Scale() + offsetTop_ - thumbCenter_;
    return QRect(QPoint((width() - size.width()) / 2, static_cast<int>(top)), size);
}

int CSkinSlider::PositionAt(double y) const {
    const double scale = Scale();
    if (scale <= 0.0) {
        return minimum();
    }
    // Rounded to the nearest tic; floor keeps negative ranges exact.
    const double tic = std::floor((y - offsetTop_) / scale + 0.5) + minimum();
    const double limit = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(tic, -limit, limit));
}

std::vector<int> CSkinSlider::TickMarks() const {
    std::vector<int> marks;
    const int64_t tics = int64_t{maximum()} - minimum() + 1;
    const double scale = Scale();
    const int every = height() > 4 * tics ? 1 : 4;
    double y = offsetTop_;
    for (int64_t i = 0; i < tics && i < 100000; ++i, y += scale) {
        if (i % every == 0) {
            marks.push_back(static_cast<int>(y));
        }
    }
    return marks;
}

void CSkinSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage& track = isEnabled() ? stretched_[0] : stretched_[1];
    if (!track.isNull()) {
        // Saved and restored rather than switched off: the raster engine keeps a clip switched
        // off with setClipping(false) disabled through the next setClipRegion, so the thumb
        // would be drawn whole, mask colour included.
        painter.save();
        painter.setClipRegion(trackRegion_);
        painter.drawImage(QPoint(0, 0), track);
        painter.restore();
    }
    const QRect thumb = ThumbRect();
    const int gap = (width() - thumb.width()) / 2;
    painter.setPen(tickColour_);
    for (int y : TickMarks()) {
        painter.drawLine(0, y, gap - 7, y);
        painter.drawLine(width() - gap + 6, y, width(), y);
    }
    const int state = !isEnabled() ? ThumbDisabled : dragging_ ? ThumbDown : ThumbUp;
    if (!thumbArt_[state].isNull()) {
        painter.setClipRegion(thumbRegions_[state].translated(thumb.topLeft()));
        painter.drawImage(thumb.topLeft(), thumbArt_[state]);
    }
    if (hasFocus()) {
        painter.setClipping(false);
        DrawFocusMark(painter, rect(), focusColour_);
    }
}

void CSkinSlider::mousePressEvent(QMouseEvent* event) {
    // Every press stops here: passed up, it would drag the window beneath.
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return;
    }
    pressed_ = true;
    const int y = static_cast<int>(event->position().y());
    if (ThumbRect().contains(event->position().toPoint())) {
        dragging_ = true;
        dragOffset_ = ThumbRect().top() + thumbCenter_ - y;
        setSliderDown(true);
        update();
        return;
    }
    if (dragging_) {
        dragging_ = false;
        setSliderDown(false);
        update();
        return;
    }
    // A click on the track moves the thumb like a drag would: the owner hears of it now and
    // again when the button comes up.
    const int old = value();
    setValue(PositionAt(y));
    update();
    if (value() != old) {
        emit userMoved(value());
    }
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!dragging_) {
        return;
    }
    const int old = value();
    setSliderPosition(PositionAt(event->position().y() + dragOffset_));
    if (value() != old) {
        update();
        emit userMoved(value());
    }
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (dragging_) {
        dragging_ = false;
        setSliderDown(false);
        update();
    }
    if (pressed_) {
        pressed_ = false;
        emit userReleased(value());
    }
}

void CSkinSlider::focusInEvent(QFocusEvent* event) {
    QSlider::focusInEvent(event);
    update();
}

void CSkinSlider::focusOutEvent(QFocusEvent* event) {
    QSlider::focusOutEvent(event);
    update();
}

void CSkinSlider::keyPressEvent(QKeyEvent* event) {
    const int old = value();
    QSlider::keyPressEvent(event);
    if (value() != old) {
        update();
        emit userMoved(value());
    }
}

void CSkinSlider::wheelEvent(QWheelEvent* event) {
    const int old = value();
    QSlider::wheelEvent(event);
    if (value() != old) {
        update();
        emit userMoved(value());
    }
}
