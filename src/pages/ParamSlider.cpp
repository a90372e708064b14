#include "pages/ParamSlider.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "description/ControlRegistry.h"
#include "description/ParameterModel.h"
#include "description/ValueText.h"
#include "widgets/CSkinStatic.h"

ParamSlider::ParamSlider(const PageContext& context, const ParamItem& item)
    : CSkinSlider("Slider", context.skin), context_(context), item_(item) {
    int low = 0;
    int high = 0;
    if (item_.kind == ParamItem::Numeric) {
        low = ValueText::LowestIndex(item_);
        high = low + item_.span;
    } else if (item_.kind == ParamItem::Enumeration) {
        high = static_cast<int>(item_.entries.size()) - 1;
    } else {
        high = item_.span;
    }
    // A fader needs two tics to have a scale at all.
    setRange(low, std::max(high, low + 1));
    setFont(context_.windowFont);
    setValue(maximum() - item_.value);
    trailTimer_.setSingleShot(true);
    connect(&trailTimer_, &QTimer::timeout, this, &ParamSlider::OnTrailTimer);
}

ParamSlider::~ParamSlider() {
    if (context_.registry != nullptr) {
        context_.registry->Remove(*this);
    }
}

void ParamSlider::SetValueLabel(CSkinStatic* label) {
    label_ = label;
    UpdateText();
}

std::uint8_t ParamSlider::DeviceValue() const {
    return static_cast<std::uint8_t>(std::clamp(maximum() - value(), 0, 255));
}

void ParamSlider::ShowDeviceValue(std::uint8_t value) {
    if (value != lastSent_) {
        deviceMoved_ = true;
    }
    setValue(maximum() - value);
    UpdateText();
    update();
}

void ParamSlider::UpdateText() {
    if (label_ != nullptr) {
        label_->SetCaption(QString::fromLatin1(ValueText::Text(item_, DeviceValue(), {})));
    }
}

void ParamSlider::Offer() {
    const std::uint8_t value = DeviceValue();
    if (value == lastSent_ && !deviceMoved_) {
        trailTimer_.stop();
        return;
    }
    const std::int64_t now = context_.clock();
    const std::int64_t waited = now - lastSendMs_;
    if (waited <= kSendIntervalMs) {
        if (!trailTimer_.isActive()) {
            trailTimer_.start(static_cast<int>(kSendIntervalMs - waited + 1));
        }
        return;
    }
    trailTimer_.stop();
    if (context_.model != nullptr) {
        context_.model->WriteParameter(item_.address, value, item_.itemFlag != 0);
    }
    lastSent_ = value;
    lastSendMs_ = now;
    deviceMoved_ = false;
}

void ParamSlider::OnTrailTimer() {
    // The interval has run out by construction: whatever the clock says, the value shown
    // goes out unless it is already the processor's.
    lastSendMs_ = 0;
    Offer();
}

void ParamSlider::keyReleaseEvent(QKeyEvent* event) {
    CSkinSlider::keyReleaseEvent(event);
    UpdateText();
    Offer();
}

void ParamSlider::mouseMoveEvent(QMouseEvent* event) {
    const int before = value();
    CSkinSlider::mouseMoveEvent(event);
    if (value() != before) {
        UpdateText();
        Offer();
    }
}

void ParamSlider::mouseReleaseEvent(QMouseEvent* event) {
    CSkinSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        // The final value of a drag or a track click goes out whatever the throttle says.
        UpdateText();
        lastSendMs_ = 0;
        Offer();
    }
}

void ParamSlider::wheelEvent(QWheelEvent* event) {
    CSkinSlider::wheelEvent(event);
    UpdateText();
    Offer();
}
