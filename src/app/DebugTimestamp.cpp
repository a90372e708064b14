#include "app/DebugTimestamp.h"

#include <chrono>
#include <cstdio>

DebugClock DebugClock::System() {
    return DebugClock{[] { return std::time(nullptr); },
                      [] {
                          return static_cast<std::int64_t>(
                              std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count());
                      }};
}

DebugTimestamp::DebugTimestamp(DebugClock clock)
    : clock_(std::move(clock)), wallStart_(clock_.wallSeconds()), tickStart_(clock_.tickMs()) {}

std::string DebugTimestamp::Now() const {
    return At(clock_.tickMs());
}

std::string DebugTimestamp::At(std::int64_t tickMs) const {
    const std::int64_t elapsed = tickMs - tickStart_;
    const std::time_t seconds = wallStart_ + static_cast<std::time_t>(elapsed / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%03d ", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(elapsed % 1000));
    return text;
}
