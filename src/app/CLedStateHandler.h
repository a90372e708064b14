#pragma once

#include <cstdint>

#include "link/ByteString.h"

class ILedView;

// Handles each polled LED state in a fixed order: pending visibility work, meter view,
// bypass, meters, change and compare flags, preset markers. The keys follow the processor's
// report, whoever changed it (this remote, the front panel, another remote).
class CLedStateHandler {
public:
    static constexpr std::size_t kMeterViewByte = 22;
    static constexpr std::size_t kBypassByte = 23;

    explicit CLedStateHandler(ILedView& view);

    // A connect starts: neither meter view nor bypass is known yet.
    void ResetForConnect();
    // The window latched a meter view key itself; a reply that says otherwise sets it back.
    void RecordMeterView(bool io) { lastMeterView_ = io ? 1 : 0; }
    // The window latched a bypass key on this remote's own Bypass Update.
    void RecordBypass(bool bypassed) { lastBypass_ = bypassed ? 1 : 0; }
    [[nodiscard]] bool Bypassed() const { return lastBypass_ == 1; }
    // This remote loaded or saved that preset: its coming on air is no surprise.
    void RecordPresetOnAir(int preset) { expectedCurrent_ = preset; }
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
    // What the keys show: 0 or 1, or -1 when not known (every connect).
    int lastMeterView_ = -1;
    int lastBypass_ = -1;
    bool change_ = false;
    bool compare_ = false;
    // Previous values; -1 before the first reply, so that it counts as a change of each.
    int previousTr_ = -1;
    int previousDp_ = -1;
    int previousDef_ = -1;
    int previousCurrent_ = -1;
    int previousChange_ = -1;
    int previousCompare_ = -1;
    int expectedCurrent_ = -1;
};
