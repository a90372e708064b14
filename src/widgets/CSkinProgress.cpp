#include "widgets/CSkinProgress.h"

#include <algorithm>
#include <cstdlib>

#include <QPainter>

#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"

namespace {
// More cells than any strip could show: a misspelt count stays cheap to paint.
constexpr int32_t kMaxCells = 1000;
} // namespace

CSkinProgress::CSkinProgress(CSkinManager* manager, std::string section)
    : CSkinDialog(std::move(section), manager) {
    timer_.setInterval(kDefaultIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &CSkinProgress::Step);
}

// The timer is a member: it stops before anything it paints goes away.
CSkinProgress::~CSkinProgress() {
    timer_.stop();
}

void CSkinProgress::Create(QWidget* parent, unsigned controlId, bool manual) {
    SetControlId(this, controlId);
    CSkinDialog::Create(parent, std::nullopt, false);
    SetPos(0);
    if (!manual) {
        timer_.start();
    }
}

void CSkinProgress::ApplySkin() {
    const int32_t cellMask = GetLong("colormask");
    active_ = GetImage("active");
    inactive_ = GetImage("inactive");
    activeRegion_ = active_ != nullptr ? CreateRegionFromBitmap(*active_, cellMask) : QRegion();
    inactiveRegion_ =
        inactive_ != nullptr ? CreateRegionFromBitmap(*inactive_, cellMask) : QRegion();
    const double ratio = devicePixelRatioF();
    activeArt_ = active_ != nullptr ? ArtForRatio(*active_, *active_, GetTwin("active"),
                                                  QPoint(-1, -1), ratio, cellMask,
                                                  TwinCutOut::Transparent)
                                    : QImage();
    inactiveArt_ = inactive_ != nullptr ? ArtForRatio(*inactive_, *inactive_, GetTwin("inactive"),
                                                      QPoint(-1, -1), ratio, cellMask,
                                                      TwinCutOut::Transparent)
                                        : QImage();
    cell_ = QRect(QPoint(0, 0), active_ != nullptr ? active_->size() : QSize(0, 0));
    source_ = GetImage("background");
    sourceTwin_ = GetTwin("background");
    resizeLine_ = QPoint(GetLong("resize_line_x"), GetLong("resize_line_y"));
    backgroundMask_ = GetLong("bkcolormask");
    firstCell_ = QPoint(GetLong("ofs_left"), GetLong("ofs_top"));
    count_ = std::clamp<int32_t>(GetLong("count"), 0, kMaxCells);
    const int32_t speed = GetLong("speed");
    timer_.setInterval(speed > 0 ? speed : kDefaultIntervalMs);
    const QRect place(GetLong("offset_left"), GetLong("offset_top"), GetLong("width"),
                      GetLong("height"));
    const bool resized = place.size() != size();
    setGeometry(place);
    if (!resized) {
        PrepareBackground();
    }
    update();
}

void CSkinProgress::resizeEvent(QResizeEvent*) {
    PrepareBackground();
}

void CSkinProgress::PrepareBackground() {
    stretched_ =
        source_ != nullptr ? StretchByResizeLines(*source_, resizeLine_, size()) : QImage();
    backgroundRegion_ =
        stretched_.isNull() ? QRegion() : CreateRegionFromBitmap(stretched_, backgroundMask_);
    if (source_ != nullptr) {
        stretched_ = ArtForRatio(*source_, stretched_, sourceTwin_, resizeLine_,
                                 devicePixelRatioF(), backgroundMask_, TwinCutOut::Transparent);
    }
}

void CSkinProgress::Step() {
    if (forward_) {
        if (position_ < count_ - 2) {
            ++position_;
        } else {
            forward_ = false;
        }
    } else {
        if (position_ > 1) {
            --position_;
        } else {
            forward_ = true;
        }
    }
    update();
}

void CSkinProgress::SetPos(int position) {
    position_ = std::clamp(position, 0, count_);
    update();
}

QRect CSkinProgress::CellRect(int cell) const {
    return cell_.translated(firstCell_ + QPoint(cell * cell_.width(), 0));
}

bool CSkinProgress::IsLit(int cell, int position) {
    return std::abs(cell - position) < 2;
}

void CSkinProgress::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!stretched_.isNull()) {
        painter.setClipRegion(backgroundRegion_);
        painter.drawImage(QPoint(0, 0), stretched_);
    }
    for (int i = 0; i < count_; ++i) {
        const bool lit = IsLit(i, position_);
        const QImage& image = lit ? activeArt_ : inactiveArt_;
        if (image.isNull()) {
            continue;
        }
        const QRect target = CellRect(i);
        painter.setClipRegion((lit ? activeRegion_ : inactiveRegion_).translated(target.topLeft()));
        painter.drawImage(target.topLeft(), image);
    }
}

void CSkinProgress::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
}
