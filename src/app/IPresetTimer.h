#pragma once

#include <chrono>
#include <functional>

// A one-shot pause: the connect-time download waits between presets. The application uses a
// Qt timer (CPresetPauseTimer); tests fire it themselves.
class IPresetTimer {
public:
    virtual ~IPresetTimer() = default;
    // Runs done once after delay, on the caller's thread; replaces a pause still running.
    virtual void Start(std::chrono::milliseconds delay, std::function<void()> done) = 0;
    virtual void Stop() = 0;
};
