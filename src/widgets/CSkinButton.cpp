#include "widgets/CSkinButton.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QtMath>
#include <QPainter>
#include <QToolTip>

#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"
#include "widgets/SkinFocusMark.h"
#include "widgets/SkinFont.h"

namespace {
constexpr const char* kImageKeys[] = {"up", "down", "over", "disabled", "down_disabled"};
// The disabled states take their caption colours crosswise.
constexpr const char* kColourKeys[] = {"text_color_up", "text_color_down", "text_color_over",
                                       "text_color_down_disabled", "text_color_disabled"};
} // namespace

CSkinButton::CSkinButton(std::string section, CSkinManager* manager)
    : CSkinClient(std::move(section), manager) {
    tipTimer_.setSingleShot(true);
    connect(&tipTimer_, &QTimer::timeout, this, &CSkinButton::ShowTip);
}

void CSkinButton::Create(QWidget* parent, unsigned controlId) {
    setParent(parent);
    SetControlId(this, controlId);
    setMouseTracking(true);
    // Reached by Tab, never by a click: a click on a key leaves the focus where it was (the
    // page tree or a value field).
    setFocusPolicy(Qt::TabFocus);
    Attach(this);
    ApplySkin();
    show();
}

void CSkinButton::ApplySkin() {
    for (size_t i = 0; i < sources_.size(); ++i) {
        sources_[i] = GetImage(kImageKeys[i]);
        twins_[i] = GetTwin(kImageKeys[i]);
        captionColours_[i] = ColorFromSkin(GetLong(kColourKeys[i]));
    }
    QSize size(GetLong("width"), GetLong("height"));
    if (size.width() == 0) {
        size = sources_[0] != nullptr ? sources_[0]->size() : QSize(0, 0);
    }
    resizeLine_ = QPoint(GetLong("resize_line_x"), GetLong("resize_line_y"));
    maskColour_ = GetLong("bkcolormask");
    rectShape_ = GetLong("rgn_rect") != 0;
    drawText_ = GetLong("draw_text") != 0;
    stick_ = GetLong("stick") != 0;
    margin_ = QSize(GetLong("x_margin"), GetLong("y_margin"));
    font_ = SkinFont(*this);
    const std::string caption = GetString("caption");
    if (!caption.empty()) {
        setText(QString::fromStdString(caption));
    }
    tip_ = QString::fromStdString(GetString("tip"));
    focusColour_ = FocusMarkColour(*this);
    tipTimer_.setInterval(std::max<int32_t>(GetLong("tip_delay"), 0));
    const bool resized = size != this->size();
    setGeometry(QRect(QPoint(GetLong("offset_left"), GetLong("offset_top")), size));
    if (!resized) {
        PrepareImages();
    }
    update();
}

void CSkinButton::resizeEvent(QResizeEvent*) {
    PrepareImages();
}

void CSkinButton::PrepareImages() {
    for (size_t i = 0; i < images_.size(); ++i) {
        images_[i] = sources_[i] != nullptr
                         ? ArtForRatio(*sources_[i],
                                       StretchByResizeLines(*sources_[i], resizeLine_, size()),
                                       twins_[i], resizeLine_, devicePixelRatioF(), maskColour_,
                                       rectShape_ ? TwinCutOut::None : TwinCutOut::Transparent)
                         : QImage();
    }
    // Without an "up" image there is nothing to cut a shape from: the whole rectangle counts.
    if (rectShape_ || sources_[0] == nullptr) {
        region_ = QRegion(rect());
    } else {
        region_ = CreateRegionFromBitmap(*sources_[0], maskColour_);
    }
    // An empty mask means "no mask" to Qt; a shape cut away completely must hide the button.
    setMask(region_.isEmpty() ? QRegion(-1, -1, 1, 1) : region_);
}

QSize CSkinButton::MeasureCaption(const QString& text) const {
    return QFontMetrics(font_).size(Qt::TextSingleLine, text) + margin_;
}

CSkinButton::State CSkinButton::CurrentState() const {
    const bool down = isDown() || stuck_;
    if (!isEnabled()) {
        return down ? State::DownDisabled : State::Disabled;
    }
    if (down) {
        return State::Down;
    }
    return hovering_ ? State::Over : State::Up;
}

bool CSkinButton::hitButton(const QPoint& pos) const {
    return region_.contains(pos);
}

QPoint CSkinButton::PixelAt(const QMouseEvent& event) const {
    // On a scaled screen the pointer can stand between two logical pixels, and Qt hands the
    // widget a position rounded to the nearer one; the position in the window keeps the
    // fraction. An event made up for this widget alone has no window position of its own
    // (it repeats the local one), which the distance test below tells apart.
    QPointF position = event.position();
    const QPointF inWindow = event.scenePosition() - QPointF(mapTo(window(), QPoint(0, 0)));
    if (std::abs(inWindow.x() - position.x()) <= 0.5 &&
        std::abs(inWindow.y() - position.y()) <= 0.5) {
        position = inWindow;
    }
    // The pixel shown there is the one that holds the device pixel's centre.
    const qreal half = 0.5 / devicePixelRatioF();
    return {qFloor(position.x() + half), qFloor(position.y() + half)};
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
    // A press on a pixel cut out of the shape belongs to the window beneath, as it looks.
    if (!region_.contains(PixelAt(*event))) {
        event->ignore();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void CSkinButton::paintEvent(QPaintEvent*) {
    const auto state = static_cast<size_t>(CurrentState());
    QPainter painter(this);
    painter.setClipRegion(region_);
    if (!images_[state].isNull()) {
        painter.drawImage(QPoint(0, 0), images_[state]);
    }
    if (drawText_ && !text().isEmpty()) {
        painter.setFont(font_);
        painter.setPen(captionColours_[state]);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    if (hasFocus()) {
        DrawFocusMark(painter, region_.boundingRect(), focusColour_);
    }
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused key as Space does; a latching key latches as on a click.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat()) {
            Press();
        }
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CSkinButton::Press() {
    if (!isEnabled()) {
        return;
    }
    stuck_ = stuck_ || stick_;
    click();
    // click() changes the down state without a repaint: a key latched by a shortcut would
    // show up until something else drew it.
    update();
}

void CSkinButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && stick_ && isDown()) {
        stuck_ = true;
    }
    QAbstractButton::keyReleaseEvent(event);
}

void CSkinButton::focusInEvent(QFocusEvent* event) {
    QAbstractButton::focusInEvent(event);
    update();
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
    QAbstractButton::focusOutEvent(event);
    update();
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
    SetHovering(region_.contains(PixelAt(*event)));
    QAbstractButton::mouseMoveEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    SetHovering(false);
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::SetHovering(bool hovering) {
    if (hovering == hovering_) {
        return;
    }
    hovering_ = hovering;
    if (hovering && !TipText().isEmpty()) {
        tipTimer_.start();
    } else if (!hovering) {
        tipTimer_.stop();
        if (!TipText().isEmpty()) {
            QToolTip::hideText();
        }
    }
    update();
}

QString CSkinButton::TipText() const {
    if (shortcut_.isEmpty()) {
        return tip_;
    }
    return tip_.isEmpty() ? shortcut_ : tip_ + QStringLiteral(" (") + shortcut_ + QLatin1Char(')');
}

void CSkinButton::ShowTip() {
    if (hovering_ && isVisible()) {
        QToolTip::showText(mapToGlobal(QPoint(0, height())), TipText(), this, rect(), kTipShowMs);
    }
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // Only a release that makes a click latches: the owner learns of every latch.
        if (stick_ && isDown() && hitButton(event->position().toPoint())) {
            stuck_ = true;
        }
        SetHovering(false);
    }
    QAbstractButton::mouseReleaseEvent(event);
}
