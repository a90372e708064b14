#include "app/CLinkWatch.h"

void CLinkWatch::Arm(std::int64_t nowMs) {
    armed_ = true;
    stale_ = false;
    lastReplyMs_ = nowMs;
}

void CLinkWatch::Disarm() {
    armed_ = false;
    stale_ = false;
}

void CLinkWatch::OnReply(std::int64_t nowMs) {
    lastReplyMs_ = nowMs;
}

bool CLinkWatch::Update(std::int64_t nowMs, bool requestOut) {
    const bool silent = armed_ && nowMs - lastReplyMs_ > kStaleMs;
    // A reply clears the mark at once; an idle link keeps a mark it has until a reply.
    const bool next = silent && (requestOut || stale_);
    if (next == stale_) {
        return false;
    }
    stale_ = next;
    return true;
}
