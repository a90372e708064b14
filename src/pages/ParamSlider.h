#pragma once

#include <cstdint>

#include <QPointer>
#include <QTimer>

#include "description/IBoundControl.h"
#include "description/ParamItem.h"
#include "pages/PageContext.h"
#include "widgets/CSkinSlider.h"

class CSkinStatic;

// The fader of a slider set (skin section "Slider"). The top is the highest value: the
// device value is the maximum minus the position. User moves are offered to the processor
// at most once per kSendIntervalMs and only when the value differs from the last one sent;
// a move held back by that interval goes out when the interval ends, so the processor always
// ends up with the value shown. The release of the mouse sends the final value at once.
class ParamSlider : public CSkinSlider, public IBoundControl {
    Q_OBJECT
public:
    static constexpr std::int64_t kSendIntervalMs = 200;

    ParamSlider(const PageContext& context, const ParamItem& item);
    ~ParamSlider() override;

    // Shows the value text in label (a "SliderValue" static) from now on.
    void SetValueLabel(CSkinStatic* label);

    void ShowDeviceValue(std::uint8_t value) override;
    void SetControlEnabled(bool enabled) override { setEnabled(enabled); }

    [[nodiscard]] ParamItem& Item() { return item_; }
    // The device value the position stands for.
    [[nodiscard]] std::uint8_t DeviceValue() const;
    [[nodiscard]] int LastSent() const { return lastSent_; }
    // The timer of a send held back by the interval; its end sends the value shown.
    [[nodiscard]] const QTimer& TrailTimer() const { return trailTimer_; }
    void OnTrailTimer();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void UpdateText();
    void Offer();

    PageContext context_;
    ParamItem item_;
    QPointer<CSkinStatic> label_;
    std::int16_t lastSent_ = -1;
    std::int64_t lastSendMs_ = 0;
    // A device value moved the fader since the last send: the value last sent is no longer
    // what the processor holds, so offering it again must go out.
    bool deviceMoved_ = false;
    QTimer trailTimer_;
};
