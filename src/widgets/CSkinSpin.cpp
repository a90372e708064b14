#include "widgets/CSkinSpin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QKeyEvent>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"
#include "widgets/SkinFocusMark.h"
#include "widgets/SpinFieldFormat.h"

namespace {
constexpr const char* kArrowKeys[] = {"up_up",   "up_over",   "up_down",   "up_disabled",
                                      "down_up", "down_over", "down_down", "down_disabled"};
// Far more carries than any field could need: keeps absurd typed values bounded.
constexpr double kMaxCarries = 1e9;
} // namespace

CSkinSpin::CSkinSpin(std::string section, CSkinManager* manager)
    : CSkinClient(std::move(section), manager) {
    connect(&timer_, &QTimer::timeout, this, &CSkinSpin::OnTimer);
}

void CSkinSpin::Create(QWidget* parent, unsigned controlId) {
    setParent(parent);
    SetControlId(this, controlId);
    setMouseTracking(true);
    Attach(this);
    ApplySkin();
    show();
}

void CSkinSpin::ApplySkin() {
    for (int i = 0; i < 8; ++i) {
        arrowSources_[i] = GetImage(kArrowKeys[i]);
        arrowTwins_[i] = GetTwin(kArrowKeys[i]);
    }
    const int32_t arrowMask = GetLong("buttoncolormask");
    arrowMask_ = arrowMask;
    upRegion_ = arrowSources_[0] != nullptr ? CreateRegionFromBitmap(*arrowSources_[0], arrowMask)
                                            : QRegion();
    downRegion_ = arrowSources_[4] != nullptr ? CreateRegionFromBitmap(*arrowSources_[4], arrowMask)
                                              : QRegion();
    upResize_ = QPoint(GetLong("up_resize_x"), GetLong("up_resize_y"));
    downResize_ = QPoint(GetLong("down_resize_x"), GetLong("down_resize_y"));
    upOffset_ = QPoint(GetLong("up_ofs_right"), GetLong("up_ofs_top"));
    downOffset_ = QPoint(GetLong("down_ofs_right"), GetLong("down_ofs_bottom"));
    background_ = GetImage("background");
    backgroundTwin_ = GetTwin("background");
    resizeLine_ = QPoint(GetLong("resize_line_x"), GetLong("resize_line_y"));
    backgroundMask_ = GetLong("bkcolormask");
    const QRect place(GetLong("offset_left"), GetLong("offset_top"), GetLong("width"),
                      GetLong("height"));
    const bool resized = place.size() != size();
    setGeometry(place);
    if (!resized) {
        PrepareImages();
    }
    update();
}

void CSkinSpin::resizeEvent(QResizeEvent*) {
    PrepareImages();
}

QRect CSkinSpin::UpRect() const {
    const int width = arrowSources_[0] != nullptr ? arrowSources_[0]->width() : 0;
    return QRect(QPoint(this->width() - width - upOffset_.x(), upOffset_.y()),
                 QPoint(this->width() - upOffset_.x() - 1, height() / 2 - 1));
}

QRect CSkinSpin::DownRect() const {
    const int width = arrowSources_[4] != nullptr ? arrowSources_[4]->width() : 0;
    return QRect(QPoint(this->width() - width - downOffset_.x(), height() / 2),
                 QPoint(this->width() - downOffset_.x() - 1, height() - downOffset_.y() - 1));
}

void CSkinSpin::PrepareImages() {
    const QRect up = UpRect();
    const QRect down = DownRect();
    for (int i = 0; i < 8; ++i) {
        const QRect& target = i < 4 ? up : down;
        const QPoint resize = i < 4 ? upResize_ : downResize_;
        arrowImages_[i] =
            arrowSources_[i] != nullptr && !target.isEmpty()
                ? ArtForRatio(*arrowSources_[i],
                              StretchByResizeLines(*arrowSources_[i], resize, target.size()),
                              arrowTwins_[i], resize, devicePixelRatioF(), arrowMask_,
                              TwinCutOut::Transparent)
                : QImage();
    }
    stretched_ =
        background_ != nullptr ? StretchByResizeLines(*background_, resizeLine_, size()) : QImage();
    backgroundRegion_ =
        stretched_.isNull() ? QRegion() : CreateRegionFromBitmap(stretched_, backgroundMask_);
    if (background_ != nullptr) {
        stretched_ = ArtForRatio(*background_, stretched_, backgroundTwin_, resizeLine_,
                                 devicePixelRatioF(), backgroundMask_, TwinCutOut::Transparent);
    }
}

QRect CSkinSpin::GetTextRect() const {
    QRect area = rect();
    area.setRight(area.right() - std::max(UpRect().width(), DownRect().width()));
    return area;
}

void CSkinSpin::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!stretched_.isNull()) {
        painter.setClipRegion(backgroundRegion_);
        painter.drawImage(QPoint(0, 0), stretched_);
    }
    const auto pick = [this](bool up) {
        const int base = up ? 0 : 4;
        if (!isEnabled()) {
            return base + 3;
        }
        const ArrowState press = up ? ArrowState::PressUp : ArrowState::PressDown;
        const ArrowState hover = up ? ArrowState::HoverUp : ArrowState::HoverDown;
        return base + (arrows_ == press ? 2 : arrows_ == hover ? 1 : 0);
    };
    for (bool up : {true, false}) {
        const QImage& image = arrowImages_[pick(up)];
        const QRect target = up ? UpRect() : DownRect();
        if (image.isNull()) {
            continue;
        }
        painter.setClipRegion((up ? upRegion_ : downRegion_).translated(target.topLeft()));
        painter.drawImage(target.topLeft(), image);
    }
}

int CSkinSpin::AddField(Field field, QLineEdit* display) {
    field.display = display;
    fields_.push_back(std::move(field));
    const int index = static_cast<int>(fields_.size()) - 1;
    if (display != nullptr) {
        if (display->parentWidget() != this) {
            display->setParent(this);
            display->show();
        }
        display->installEventFilter(this);
        // Typed text goes nowhere per keystroke (a half-typed "-15" is not -1 on air): it is
        // taken on Enter or when the field loses the focus.
        connect(display, &QLineEdit::textEdited, this, [this, index] { editing_ = index; });
    }
    ShowValue(index);
    return index;
}

int CSkinSpin::AddNumericField(double value, QLineEdit* display, std::string format, double minimum,
                               double maximum, double step) {
    Field field;
    field.kind = FieldKind::Numeric;
    field.format = std::move(format);
    field.minimum = minimum;
    field.maximum = maximum;
    field.step = step;
    field.value = value;
    return AddField(std::move(field), display);
}

int CSkinSpin::AddListField(int index, QLineEdit* display, QStringList items, std::string format) {
    Field field;
    field.kind = FieldKind::List;
    field.format = std::move(format);
    field.items = std::move(items);
    field.value = index;
    if (display != nullptr) {
        display->setReadOnly(true);
    }
    return AddField(std::move(field), display);
}

int CSkinSpin::AddTextField(QLineEdit* display) {
    Field field;
    field.kind = FieldKind::Text;
    field.format = "%s";
    if (display != nullptr) {
        display->setReadOnly(true);
    }
    return AddField(std::move(field), display);
}

void CSkinSpin::SetItems(int field, QStringList items) {
    if (field < 0 || field >= FieldCount()) {
        return;
    }
    fields_[static_cast<size_t>(field)].items = std::move(items);
    ShowValue(field);
}

void CSkinSpin::SetCurrentField(int field) {
    if (field >= 0 && field < FieldCount()) {
        current_ = field;
    }
}

double CSkinSpin::StepOf(const Field& field) const {
    return field.kind == FieldKind::Numeric ? field.step : 1.0;
}

double CSkinSpin::GetValue(int field) const {
    if (field < 0 || field >= FieldCount()) {
        return 0;
    }
    // The stored value: what was typed is already wrapped, carried or clamped, even while
    // the display still shows the typed text.
    const Field& f = fields_[static_cast<size_t>(field)];
    return f.kind == FieldKind::Numeric ? f.value : std::trunc(f.value);
}

std::optional<double> CSkinSpin::TypedValue(int field) const {
    const Field& f = fields_[static_cast<size_t>(field)];
    if (f.kind != FieldKind::Numeric || f.display == nullptr) {
        return std::nullopt;
    }
    // The leading number counts (a unit typed after it does no harm); text without one is
    // no value at all.
    const QByteArray text = f.display->text().left(1024).toUtf8();
    char* end = nullptr;
    const double typed = std::strtod(text.constData(), &end);
    if (end == text.constData() || !std::isfinite(typed)) {
        return std::nullopt;
    }
    return typed;
}

void CSkinSpin::CommitTyped(int field) {
    if (field != editing_ || field < 0 || field >= FieldCount()) {
        return;
    }
    editing_ = -1;
    const Field& f = fields_[static_cast<size_t>(field)];
    if (const std::optional<double> typed = TypedValue(field)) {
        const double kept = std::clamp(*typed, f.minimum, std::max(f.minimum, f.maximum));
        SetValue(kept, field, true);
    }
    ShowValue(field);
}

void CSkinSpin::SetValue(double value, int field, bool notify) {
    if (field < 0 || field >= FieldCount()) {
        return;
    }
    Field& f = fields_[static_cast<size_t>(field)];
    if (!std::isfinite(value)) {
        value = f.value;
    }
    double lower = f.minimum;
    double upper = f.maximum;
    double span = f.maximum - f.minimum + f.step;
    bool ranged = true;
    if (f.kind != FieldKind::Numeric) {
        value = std::trunc(value);
        lower = 0;
        upper = static_cast<double>(f.items.size()) - 1;
        span = static_cast<double>(f.items.size());
        // A list without entries takes 0; texts not supplied yet keep any value.
        if (f.items.isEmpty()) {
            ranged = false;
            if (f.kind == FieldKind::List) {
                value = 0;
            }
        }
    }
    if (ranged && span <= 0) {
        // A range that cannot wrap (no step, or maximum below minimum) clamps.
        value = std::clamp(value, lower, std::max(lower, upper));
        ranged = false;
    }
    if (ranged) {
        // Values a rounding error past a limit are still inside it.
        const double tolerance = std::abs(StepOf(f)) * 1e-9;
        double carries = 0;
        if (value - upper > tolerance) {
            const double n = std::min(std::ceil((value - upper - tolerance) / span), kMaxCarries);
            value -= n * span;
            carries += n;
        }
        if (lower - value > tolerance) {
            const double n = std::min(std::ceil((lower - value - tolerance) / span), kMaxCarries);
            value += n * span;
            carries -= n;
        }
        if (carries != 0) {
            if (FieldCount() == 1) {
                if (!wrap_) {
                    value = carries > 0 ? upper : lower;
                }
            } else if (field + 1 < FieldCount()) {
                const Field& next = fields_[static_cast<size_t>(field) + 1];
                SetValue(next.value + carries * StepOf(next), field + 1, notify);
            }
        }
    }
    Field& stored = fields_[static_cast<size_t>(field)];
    if (value != stored.value) {
        stored.value = value;
        ShowValue(field);
        update();
    }
    if (notify) {
        emit valueChanged(field);
    }
}

QString CSkinSpin::TextOf(const Field& field) const {
    if (field.kind == FieldKind::Numeric) {
        return FormatSpinNumber(field.format, field.value);
    }
    const double index = std::trunc(field.value);
    if (index < 0 || index >= field.items.size()) {
        return QString();
    }
    return FormatSpinText(field.format, field.items[static_cast<int>(index)]);
}

void CSkinSpin::ShowValue(int field) {
    const Field& f = fields_[static_cast<size_t>(field)];
    if (f.display != nullptr && field != editing_) {
        f.display->setText(TextOf(f));
    }
}

bool CSkinSpin::IsFocusMarked() const {
    return focusMark_ != nullptr && focusMark_->isVisible();
}

bool CSkinSpin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // Up and Down step the focused field by one step, PageUp and PageDown by ten, as the
        // arrows would.
        const auto* key = static_cast<QKeyEvent*>(event);
        int steps = 0;
        switch (key->key()) {
        case Qt::Key_Up:
            steps = 1;
            break;
        case Qt::Key_Down:
            steps = -1;
            break;
        case Qt::Key_PageUp:
            steps = 10;
            break;
        case Qt::Key_PageDown:
            steps = -10;
            break;
        default:
            break;
        }
        for (int i = 0; steps != 0 && i < FieldCount(); ++i) {
            if (fields_[static_cast<size_t>(i)].display == watched) {
                current_ = i;
                if (isEnabled()) {
                    StepCurrent(steps);
                }
                return true;
            }
        }
    }
    const bool enter = event->type() == QEvent::KeyPress &&
                       (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut || enter) {
        for (int i = 0; i < FieldCount(); ++i) {
            if (fields_[static_cast<size_t>(i)].display == watched) {
                if (event->type() == QEvent::FocusIn) {
                    current_ = i;
                } else if (i == editing_) {
                    CommitTyped(i);
                } else {
                    ShowValue(i);
                }
                if (enter) {
                    continue; // Enter takes the typed text; the focus stays where it is
                }
                if (focusMark_ == nullptr) {
                    focusMark_ = new SkinFocusOverlay(this);
                    focusMark_->SetColour(FocusMarkColour(*this));
                }
                focusMark_->ShowMark(event->type() == QEvent::FocusIn);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSkinSpin::StepCurrent(int steps) {
    if (current_ < 0 || current_ >= FieldCount()) {
        return;
    }
    // A step starts from what was typed, if anything was.
    CommitTyped(current_);
    const Field& f = fields_[static_cast<size_t>(current_)];
    SetValue(f.value + steps * StepOf(f), current_, true);
}

void CSkinSpin::SetAccelerations(std::vector<Acceleration> table) {
    accelerations_ = std::move(table);
    accelerations_.resize(std::min<size_t>(accelerations_.size(), 8));
    if (accelerations_.empty()) {
        accelerations_.push_back({0, 1});
    }
}

void CSkinSpin::SetArrows(ArrowState state) {
    if (state != arrows_) {
        arrows_ = state;
        update();
    }
}

void CSkinSpin::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool up = UpRect().contains(at);
    // A press anywhere on the spin stops here: passed up, it would drag the window beneath.
    event->accept();
    if (event->button() != Qt::LeftButton || (!up && !DownRect().contains(at))) {
        return;
    }
    SetArrows(up ? ArrowState::PressUp : ArrowState::PressDown);
    StepCurrent(up ? 1 : -1);
    accelerationIndex_ = 0;
    timer_.start(kFirstRepeatMs);
}

void CSkinSpin::OnTimer() {
    const bool up = arrows_ == ArrowState::PressUp;
    if (!up && arrows_ != ArrowState::PressDown) {
        timer_.stop();
        return;
    }
    if (accelerationIndex_ == 0) {
        accelerationIndex_ = 1;
        held_.start();
        timer_.start(kRepeatMs);
        return;
    }
    accelerationIndex_ = std::min(accelerationIndex_, accelerations_.size());
    const int increment = accelerations_[accelerationIndex_ - 1].increment;
    StepCurrent(up ? increment : -increment);
    if (accelerationIndex_ < accelerations_.size() &&
        held_.elapsed() >= int64_t{accelerations_[accelerationIndex_].seconds} * 1000) {
        ++accelerationIndex_;
    }
}

void CSkinSpin::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (arrows_ == ArrowState::PressUp || arrows_ == ArrowState::PressDown) {
        return;
    }
    const QPoint at = event->position().toPoint();
    SetArrows(UpRect().contains(at)     ? ArrowState::HoverUp
              : DownRect().contains(at) ? ArrowState::HoverDown
                                        : ArrowState::None);
}

void CSkinSpin::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        timer_.stop();
        SetArrows(ArrowState::None);
    }
}

void CSkinSpin::changeEvent(QEvent* event) {
    // Disabled or deactivated while an arrow is held: its release may never arrive.
    if ((event->type() == QEvent::EnabledChange && !isEnabled()) ||
        (event->type() == QEvent::ActivationChange && !isActiveWindow())) {
        timer_.stop();
        SetArrows(ArrowState::None);
    }
    QWidget::changeEvent(event);
}

void CSkinSpin::leaveEvent(QEvent*) {
    if (arrows_ == ArrowState::HoverUp || arrows_ == ArrowState::HoverDown) {
        SetArrows(ArrowState::None);
    }
}
