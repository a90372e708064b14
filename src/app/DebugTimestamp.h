#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

// Where the debug log takes its time from: the wall clock once, then a millisecond tick.
// Tests give both as functions they control.
struct DebugClock {
    std::function<std::time_t()> wallSeconds;
    std::function<std::int64_t()> tickMs;

    // The system's wall clock and its monotonic clock.
    static DebugClock System();
};

// The "hh:mm:ss:mmm " prefix of a debug line: the wall-clock time read once at construction
// moved on by the ticks since then, so that lines of one second stay apart by milliseconds.
class DebugTimestamp {
public:
    explicit DebugTimestamp(DebugClock clock);

    // The prefix for now, in local time, with its trailing space.
    [[nodiscard]] std::string Now() const;
    // The prefix for a tick count read from the clock.
    [[nodiscard]] std::string At(std::int64_t tickMs) const;

private:
    DebugClock clock_;
    std::time_t wallStart_;
    std::int64_t tickStart_;
};
