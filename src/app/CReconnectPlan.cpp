#include "app/CReconnectPlan.h"

#include <algorithm>

void CReconnectPlan::Start(const std::string& lostAt) {
    lostAt_ = lostAt;
    pauseS_ = kFirstPauseS;
    secondsLeft_ = pauseS_;
    attempts_ = 0;
    phase_ = Phase::Waiting;
}

void CReconnectPlan::Stop() {
    phase_ = Phase::Off;
}

bool CReconnectPlan::Tick() {
    if (phase_ != Phase::Waiting) {
        return false;
    }
    if (secondsLeft_ > 0) {
        --secondsLeft_;
    }
    return secondsLeft_ == 0;
}

void CReconnectPlan::OnAttemptStarted() {
    if (phase_ != Phase::Off) {
        phase_ = Phase::Trying;
        ++attempts_;
    }
}

void CReconnectPlan::OnAttemptFailed() {
    if (phase_ == Phase::Off) {
        return;
    }
    pauseS_ = std::min(pauseS_ * 2, kLongestPauseS);
    secondsLeft_ = pauseS_;
    phase_ = Phase::Waiting;
}

std::string CReconnectPlan::Notice() const {
    if (phase_ == Phase::Off) {
        return {};
    }
    std::string text = "LINK LOST at " + lostAt_ + ": the processor stopped answering. ";
    if (phase_ == Phase::Trying) {
        text += "Connecting again now";
        if (attempts_ > 1) {
            text += " (try " + std::to_string(attempts_) + ")";
        }
        text += "...";
    } else {
        text += "Connecting again in " + std::to_string(secondsLeft_) + " s";
        if (attempts_ > 0) {
            text += " (no answer to " + std::to_string(attempts_) +
                    (attempts_ == 1 ? " try)" : " tries)");
        }
        text += ". Press CONNECT to connect now.";
    }
    return text;
}
