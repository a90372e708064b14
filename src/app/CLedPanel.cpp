#include "app/CLedPanel.h"

#include <algorithm>

#include <QPaintEvent>
#include <QFontMetrics>
#include <QPainter>

#include "app/LedSegmentLayout.h"
#include "skin/ControlId.h"

CLedPanel::CLedPanel(CSkinManager* manager) : CSkinDialog("Leds", manager) {
    // Every paint covers the whole panel from the off-screen image: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CLedPanel::~CLedPanel() = default;

void CLedPanel::Create(QWidget* parent) {
    SetControlId(this, kControlId);
    CSkinDialog::Create(parent, std::nullopt, false);
}

void CLedPanel::ApplySkin() {
    // The panel takes its place and size from its own keys, not from the background, and
    // paints its whole rectangle itself.
    setGeometry(GetLong("offset_left"), GetLong("offset_top"), GetLong("width"), GetLong("height"));
    PrepareImages();
    update();
}

void CLedPanel::PrepareImages() {
    // Converted once to the off-screen image's format, so every segment is a plain copy.
    static const char* const kKeys[kImageCount] = {"led1", "led2", "led3", "led4",
                                                   "led5", "led6", "led7"};
    // Segments are cut from each other's sizes, so all of them come at one density: twice
    // only when every segment image and both backgrounds have their twin.
    dense_ = devicePixelRatioF() >= 1.5;
    for (const char* key : {"background_agc", "background_io", "background"}) {
        dense_ = dense_ && (GetImage(key) == nullptr || GetTwin(key) != nullptr);
    }
    for (int i = 0; i < kImageCount && dense_; ++i) {
        dense_ = GetImage(kKeys[i]) == nullptr || GetTwin(kKeys[i]) != nullptr;
    }
    for (int i = 0; i < kImageCount; ++i) {
        leds_[static_cast<std::size_t>(i)] = PanelImage(kKeys[i]);
    }
    background_ = PanelImage(backgroundKey_);
}

QImage CLedPanel::PanelImage(const std::string& key) {
    const QImage* image = dense_ ? GetTwin(key) : GetImage(key);
    if (image == nullptr) {
        return {};
    }
    // Kept at a ratio of 1: the frame is painted in its own pixels, as the images are.
    QImage pixels = image->convertToFormat(QImage::Format_RGB32);
    pixels.setDevicePixelRatio(1.0);
    return pixels;
}

void CLedPanel::SetData(const ByteString& reply) {
    state_.fill(0);
    std::copy_n(reply.begin(), std::min(reply.size(), kReplySize), state_.begin());
    hasData_ = true;
    update();
}

void CLedPanel::Clear() {
    state_.fill(0);
    hasData_ = false;
    update();
}

void CLedPanel::SetBackground(const std::string& key) {
    backgroundKey_ = key;
    background_ = PanelImage(backgroundKey_);
    update();
}

const QImage& CLedPanel::RenderFrame() {
    const int scale = dense_ ? 2 : 1;
    if (frame_.size() != size() * scale) {
        frame_ = size().isEmpty() ? QImage() : QImage(size() * scale, QImage::Format_RGB32);
    }
    if (frame_.isNull()) {
        return frame_;
    }
    frame_.setDevicePixelRatio(1.0);
    QPainter painter(&frame_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (background_.isNull()) {
        frame_.fill(Qt::black);
    } else {
        painter.drawImage(QPoint(0, 0), background_, frame_.rect());
    }
    LedSegmentLayout::ForEach(processorType_, state_.data(), state_.size(), hasData_,
                              [&](const LedSegmentLayout::Segment& segment) {
                                  if (segment.image >= kImageCount) {
                                      return;
                                  }
                                  const QImage& image =
                                      leds_[static_cast<std::size_t>(segment.image)];
                                  const QImage& sized =
                                      leds_[static_cast<std::size_t>(segment.size)];
                                  if (image.isNull()) {
                                      return;
                                  }
                                  painter.drawImage(QPoint(segment.x, segment.y) * scale,
                                                    image, QRect(QPoint(0, 0), sized.size()));
                              });
    painter.end();
    frame_.setDevicePixelRatio(scale);
    return frame_;
}

void CLedPanel::SetBypassed(bool bypassed) {
    if (bypassed != bypassed_) {
        bypassed_ = bypassed;
        update();
    }
}

void CLedPanel::SetStale(bool stale, const QString& lastReply) {
    if (stale != stale_ || lastReply != lastReply_) {
        stale_ = stale;
        lastReply_ = lastReply;
        update();
    }
}

QString CLedPanel::StaleText() const {
    if (!stale_) {
        return {};
    }
    return lastReply_.isEmpty() ? QStringLiteral("NO REPLY")
                                : QStringLiteral("NO REPLY since %1").arg(lastReply_);
}

void CLedPanel::paintEvent(QPaintEvent*) {
    const QImage& frame = RenderFrame();
    if (frame.isNull()) {
        return;
    }
    QPainter painter(this);
    // A frame of twice the size shown at another density is brought to it smoothly.
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          frame.devicePixelRatio() != devicePixelRatioF());
    painter.drawImage(QPoint(0, 0), frame);
    // Words are drawn at the screen's own resolution, over the panel's image.
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    if (bypassed_) {
        // In the title line, between the panel's title and the view labels.
        font.setPixelSize(12);
        painter.setFont(font);
        const QString text = QStringLiteral("BYPASSED");
        const int width = QFontMetrics(font).horizontalAdvance(text) + 16;
        const QRect badge(width < this->width() ? (this->width() - width) / 2 : 0, 1, width, 16);
        painter.fillRect(badge, QColor(0xD0, 0x30, 0x20));
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, text);
    }
    if (stale_) {
        // The meters below are what the processor said last, not what it says now.
        painter.fillRect(rect().adjusted(0, 18, 0, 0), QColor(0, 0, 0, 170));
        font.setPixelSize(26);
        painter.setFont(font);
        painter.setPen(QColor(0xFF, 0xC0, 0x40));
        painter.drawText(rect().adjusted(0, 18, 0, 0), Qt::AlignCenter, StaleText());
    }
}
