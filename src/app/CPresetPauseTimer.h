#pragma once

#include <functional>

#include <QTimer>

#include "app/IPresetTimer.h"

// The download pause on a single-shot Qt timer of the GUI thread.
class CPresetPauseTimer : public IPresetTimer {
public:
    CPresetPauseTimer();

    void Start(std::chrono::milliseconds delay, std::function<void()> done) override;
    void Stop() override;

private:
    QTimer timer_;
    std::function<void()> done_;
};
