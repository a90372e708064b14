#include "app/CLedStateHandler.h"

#include "app/ILedView.h"

CLedStateHandler::CLedStateHandler(ILedView& view) : view_(view) {}

void CLedStateHandler::ResetForConnect() {
    lastMeterView_ = -1;
    lastBypass_ = -1;
}

void CLedStateHandler::ForgetFlags() {
    change_ = false;
    compare_ = false;
    previousTr_ = previousDp_ = previousDef_ = previousCurrent_ = -1;
    previousChange_ = previousCompare_ = -1;
}

void CLedStateHandler::OnLedState(const ByteString& reply) {
    view_.RunVisibilityWork();

    // Any non-zero meter-view byte is the input/output view.
    const int meterView = ByteAt(reply, kMeterViewByte) != 0 ? 1 : 0;
    if (meterView != lastMeterView_) {
        view_.ShowMeterView(meterView != 0);
        lastMeterView_ = meterView;
    }

    const int bypass = ByteAt(reply, kBypassByte) != 0 ? 1 : 0;
    if (bypass != lastBypass_) {
        view_.ShowBypass(bypass != 0);
        lastBypass_ = bypass;
    }

    view_.SetLedData(reply);

    const std::uint8_t tr = ByteAt(reply, 2);
    const std::uint8_t dp = ByteAt(reply, 3);
    const std::uint8_t def = ByteAt(reply, 4);
    const std::uint8_t current = ByteAt(reply, 5) & 0x3F;
    const bool change = (ByteAt(reply, 5) & 0x80) != 0;
    compare_ = (ByteAt(reply, 5) & 0x40) != 0;
    UpdateFlags(change, compare_);

    if (compare_ != previousCompare_ || change_ != previousChange_ || tr != previousTr_ ||
        dp != previousDp_ || def != previousDef_ || current != previousCurrent_) {
        view_.Log("Some Preset Flags Changed. Preset List Updated.");
        view_.SetPresetMarkers(tr, dp, def, current, change_ ? 1 : 0);
        if (previousCurrent_ >= 0 && current != previousCurrent_ && current != expectedCurrent_) {
            view_.OnPresetLoadedElsewhere(current);
        }
        expectedCurrent_ = -1;
        previousTr_ = tr;
        previousDp_ = dp;
        previousDef_ = def;
        previousCurrent_ = current;
        previousChange_ = change_;
        previousCompare_ = compare_;
    }
}

void CLedStateHandler::UpdateFlags(bool change, bool compare) {
    change_ = change;
    if (change_ == previousChange_) {
        return;
    }
    view_.SetCompareKeysEnabled(change_);
    if (change_) {
        view_.Log("Change Flag Placed to 1");
        if (compare != previousCompare_) {
            view_.Log(compare ? "Compare Flag Placed to 1 by Device"
                              : "Compare Flag Placed to 0 by Device");
        }
        view_.SetCompareMode(compare);
        view_.ShowCompareSide(compare);
    } else {
        view_.Log("Change Flag Placed to 0");
        view_.ReleaseCompareKeys();
        compare_ = false;
        previousCompare_ = 0;
        view_.SetCompareMode(false);
        view_.Log("Compare Flag Placed to 0 and 0");
    }
}
