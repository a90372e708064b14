#pragma once

#include <cstdint>

#include "link/ByteString.h"

class ILedView;

// Handles each polled LED state in a fixed order: pending visibility work, meter view,
// first bypass state, meters, change and compare flags, preset markers.
class CLedStateHandler {
public:
    static constexpr std::size_t kMeterViewByte = 22;
    static constexpr std::size_t kBypassByte = 23;

    explicit CLedStateHandler(ILedView& view);

    // A connect starts: the meter view is not known yet and the first reply sets bypass.
    void ResetForConnect();
    void OnLedState(const ByteString& reply);
    // The link is down: the next reply counts as a change of every flag and marker again.
    void ForgetFlags();

    // The A and B keys record the compare side the operator chose.
    void RecordCompare(bool compare) { compare_ = compare; }
    [[nodiscard]] bool Compare() const { return compare_; }
    [[nodiscard]] bool Change() const { return change_; }

    // Byte i of a reply; a byte beyond its end reads as 0.
    [[nodiscard]] static std::uint8_t ByteAt(const ByteString& reply, std::size_t i) {
        return i < reply.size() ? reply[i] : 0;
    }

private:
    void UpdateFlags(bool change, bool compare);

    ILedView& view_;
    int lastMeterView_ = 0xFF;
    bool bypassPending_ = true;
    bool change_ = false;
    bool compare_ = false;
    // Previous values; -1 before the first reply, so that it counts as a change of each.
    int previousTr_ = -1;
    int previousDp_ = -1;
    int previousDef_ = -1;
    int previousCurrent_ = -1;
    int previousChange_ = -1;
    int previousCompare_ = -1;
};
