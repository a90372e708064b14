#pragma once

#include <cstdint>

// Tells whether the processor still answers while the window is online. Every reply is a
// sign of life; when none has come for kStaleMs while the link has a request out, what the
// window shows is no longer what the processor says, and the window must say so at once
// instead of when the link finally gives up.
class CLinkWatch {
public:
    static constexpr std::int64_t kStaleMs = 1000;

    // The window went online: replies are expected from now.
    void Arm(std::int64_t nowMs);
    // Offline: nothing is expected, nothing is stale.
    void Disarm();
    void OnReply(std::int64_t nowMs);
    // Re-evaluates at nowMs; true when the stale state changed. requestOut: the link is
    // waiting for an answer (an idle link owes no reply).
    bool Update(std::int64_t nowMs, bool requestOut);

    [[nodiscard]] bool IsArmed() const { return armed_; }
    [[nodiscard]] bool IsStale() const { return stale_; }
    [[nodiscard]] std::int64_t LastReplyMs() const { return lastReplyMs_; }

private:
    bool armed_ = false;
    bool stale_ = false;
    std::int64_t lastReplyMs_ = 0;
};
