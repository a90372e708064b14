#pragma once

#include <cstdint>
#include <string>

// When the link to the processor is lost by itself (not by the operator), the window connects
// again on its own: first after kFirstPauseS seconds, then after pauses that double up to
// kLongestPauseS, until an attempt succeeds or the operator takes over (Connect or Exit). It
// also writes the notice the operator reads meanwhile, with the time the link was lost.
class CReconnectPlan {
public:
    static constexpr int kFirstPauseS = 2;
    static constexpr int kLongestPauseS = 30;

    enum class Phase { Off, Waiting, Trying };

    // The link was lost at lostAt ("HH:MM:SS"): the first pause starts.
    void Start(const std::string& lostAt);
    // The operator took over, or an attempt succeeded.
    void Stop();
    // One second passed while waiting; true when the pause is over and an attempt is due.
    bool Tick();
    // An attempt started / ended without reaching the processor (the next, longer pause).
    void OnAttemptStarted();
    void OnAttemptFailed();

    [[nodiscard]] Phase State() const { return phase_; }
    [[nodiscard]] bool IsActive() const { return phase_ != Phase::Off; }
    [[nodiscard]] int SecondsLeft() const { return secondsLeft_; }
    [[nodiscard]] int Attempts() const { return attempts_; }
    // The notice for the operator; empty when the plan is off.
    [[nodiscard]] std::string Notice() const;

private:
    Phase phase_ = Phase::Off;
    std::string lostAt_;
    int pauseS_ = kFirstPauseS;
    int secondsLeft_ = 0;
    int attempts_ = 0;
};
