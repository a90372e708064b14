#include "app/CPresetPauseTimer.h"

CPresetPauseTimer::CPresetPauseTimer() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        // Taken out first: done may start the next pause.
        auto done = std::move(done_);
        done_ = nullptr;
        if (done) {
            done();
        }
    });
}

void CPresetPauseTimer::Start(std::chrono::milliseconds delay, std::function<void()> done) {
    done_ = std::move(done);
    timer_.start(delay);
}

void CPresetPauseTimer::Stop() {
    timer_.stop();
    done_ = nullptr;
}
