#include "widgets/CSkinRepeatButton.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QMouseEvent>
#include <QScrollBar>

CSkinRepeatButton::CSkinRepeatButton(std::string section, CSkinManager* manager)
    : CSkinButton(std::move(section), manager) {
    connect(&timer_, &QTimer::timeout, this, &CSkinRepeatButton::OnTimer);
}

void CSkinRepeatButton::SetTarget(QWidget* target, Direction direction) {
    target_ = target;
    direction_ = direction;
}

void CSkinRepeatButton::mousePressEvent(QMouseEvent* event) {
    CSkinButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && isDown()) {
        held_ = true;
        timer_.start(kFirstRepeatMs);
        Step();
    }
}

void CSkinRepeatButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        held_ = false;
    }
    CSkinButton::mouseReleaseEvent(event);
}

void CSkinRepeatButton::focusOutEvent(QFocusEvent* event) {
    held_ = false;
    CSkinButton::focusOutEvent(event);
}

void CSkinRepeatButton::changeEvent(QEvent* event) {
    // A release that will never come (the button was disabled, or another window took over)
    // must not leave the target scrolling.
    if ((event->type() == QEvent::EnabledChange && !isEnabled()) ||
        (event->type() == QEvent::ActivationChange && !isActiveWindow())) {
        held_ = false;
    }
    CSkinButton::changeEvent(event);
}

void CSkinRepeatButton::OnTimer() {
    if (!held_) {
        timer_.stop();
        return;
    }
    if (timer_.interval() != kRepeatMs) {
        timer_.setInterval(kRepeatMs);
        return;
    }
    Step();
}

void CSkinRepeatButton::Step() {
    const bool vertical = direction_ == Direction::LineUp || direction_ == Direction::LineDown;
    const bool back = direction_ == Direction::LineUp || direction_ == Direction::LineLeft;
    QAbstractSlider* bar = nullptr;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target_.data())) {
        bar = vertical ? area->verticalScrollBar() : area->horizontalScrollBar();
    } else {
        bar = qobject_cast<QAbstractSlider*>(target_.data());
    }
    if (bar != nullptr) {
        bar->triggerAction(back ? QAbstractSlider::SliderSingleStepSub
                                : QAbstractSlider::SliderSingleStepAdd);
    }
    emit stepped(static_cast<int>(direction_));
}
