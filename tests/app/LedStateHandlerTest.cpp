#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CLedStateHandler.h"
#include "app/ILedView.h"

namespace {

// Records what the handler does to the window, one line per call.
class RecordingLedView : public ILedView {
public:
    void RunVisibilityWork() override { calls.push_back("visibility"); }
    void ShowMeterView(bool io) override { calls.push_back(io ? "view io" : "view agc"); }
    void ShowBypass(bool bypassed) override {
        calls.push_back(bypassed ? "bypass on" : "bypass off");
    }
    void SetLedData(const ByteString& reply) override {
        calls.push_back("data " + std::to_string(reply.size()));
    }
    void SetCompareKeysEnabled(bool enabled) override {
        calls.push_back(enabled ? "ab enabled" : "ab disabled");
    }
    void ShowCompareSide(bool compare) override { calls.push_back(compare ? "side B" : "side A"); }
    void ReleaseCompareKeys() override { calls.push_back("ab released"); }
    void SetCompareMode(bool compare) override {
        calls.push_back(compare ? "compare mode on" : "compare mode off");
    }
    void SetPresetMarkers(std::uint8_t tr, std::uint8_t dp, std::uint8_t def, std::uint8_t current,
                          std::uint8_t change) override {
        calls.push_back("markers " + std::to_string(tr) + " " + std::to_string(dp) + " " +
                        std::to_string(def) + " " + std::to_string(current) + " " +
                        std::to_string(change));
    }
    void Log(const std::string& line) override { calls.push_back("log " + line); }
    void OnPresetLoadedElsewhere(std::uint8_t preset) override {
        calls.push_back("loaded elsewhere " + std::to_string(preset));
    }

    std::vector<std::string> calls;
};

// An LED state reply: markers, flags byte 5, meter view and bypass.
ByteString Reply(std::uint8_t tr, std::uint8_t dp, std::uint8_t def, std::uint8_t flags,
                 std::uint8_t meterView, std::uint8_t bypass) {
    ByteString reply(29, 0);
    reply[0] = 0x06;
    reply[1] = 0x82;
    reply[2] = tr;
    reply[3] = dp;
    reply[4] = def;
    reply[5] = flags;
    reply[22] = meterView;
    reply[23] = bypass;
    return reply;
}

class LedStateHandlerTest : public ::testing::Test {
protected:
    std::vector<std::string> Handle(const ByteString& reply) {
        view.calls.clear();
        handler.OnLedState(reply);
        return view.calls;
    }

    RecordingLedView view;
    CLedStateHandler handler{view};
};

TEST_F(LedStateHandlerTest, FirstReplyAfterConnectSetsEverythingInOrder) {
    handler.ResetForConnect();
    std::vector<std::string> calls = Handle(Reply(1, 2, 3, 0x04, 0, 0));
    // The first reply counts as a change of every flag and marker.
    const std::vector<std::string> withFlags = {
        "visibility",
        "view agc",
        "bypass off",
        "data 29",
        "ab disabled",
        "log Change Flag Placed to 0",
        "ab released",
        "compare mode off",
        "log Compare Flag Placed to 0 and 0",
        "log Some Preset Flags Changed. Preset List Updated.",
        "markers 1 2 3 4 0",
    };
    EXPECT_EQ(calls, withFlags);
}

TEST_F(LedStateHandlerTest, UnchangedReplyOnlyRefreshesTheMeters) {
    Handle(Reply(1, 2, 3, 0x84, 1, 1));
    EXPECT_EQ(Handle(Reply(1, 2, 3, 0x84, 1, 1)),
              (std::vector<std::string>{"visibility", "data 29"}));
}

TEST_F(LedStateHandlerTest, MeterViewAndBypassFollowTheProcessorsReport) {
    handler.ResetForConnect();
    auto calls = Handle(Reply(0, 0, 0, 0, 1, 1));
    EXPECT_EQ(calls[1], "view io");
    EXPECT_EQ(calls[2], "bypass on");
    // Bypass switched off and the view flipped elsewhere (front panel, another remote).
    calls = Handle(Reply(0, 0, 0, 0, 0, 0));
    EXPECT_EQ(calls, (std::vector<std::string>{"visibility", "view agc", "bypass off", "data 29"}));
    // Bypassed again elsewhere: the keys follow at the next reply.
    calls = Handle(Reply(0, 0, 0, 0, 0, 7));
    EXPECT_EQ(calls, (std::vector<std::string>{"visibility", "bypass on", "data 29"}));
    // A new connect asks again even for the same bytes.
    handler.ResetForConnect();
    calls = Handle(Reply(0, 0, 0, 0, 0, 1));
    EXPECT_EQ(calls, (std::vector<std::string>{"visibility", "view agc", "bypass on", "data 29"}));
}

TEST_F(LedStateHandlerTest, AKeyLatchedByTheWindowIsSetBackWhenTheProcessorSaysOtherwise) {
    handler.ResetForConnect();
    Handle(Reply(0, 0, 0, 0, 0, 0));
    // The operator pressed I/O; the flip never reached the processor.
    handler.RecordMeterView(true);
    EXPECT_EQ(Handle(Reply(0, 0, 0, 0, 0, 0)),
              (std::vector<std::string>{"visibility", "view agc", "data 29"}));
    // The flip arrived: nothing to set back.
    handler.RecordMeterView(true);
    EXPECT_EQ(Handle(Reply(0, 0, 0, 0, 1, 0)), (std::vector<std::string>{"visibility", "data 29"}));
    // This remote's own Bypass Update latched Bypass; the processor agrees.
    handler.RecordBypass(true);
    EXPECT_EQ(Handle(Reply(0, 0, 0, 0, 1, 1)), (std::vector<std::string>{"visibility", "data 29"}));
    EXPECT_TRUE(handler.Bypassed());
}

TEST_F(LedStateHandlerTest, APresetPutOnAirElsewhereAsksForThePageAgain) {
    handler.ResetForConnect();
    // The first reply after a connect is no load.
    auto calls = Handle(Reply(0, 0, 0, 2, 0, 0));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "loaded elsewhere 2"), 0);
    // The daypart preset comes on air by itself.
    calls = Handle(Reply(0, 0, 0, 5, 0, 0));
    EXPECT_EQ(calls.back(), "loaded elsewhere 5");
    // This remote loads preset 7: its own load reads the page already.
    handler.RecordPresetOnAir(7);
    calls = Handle(Reply(0, 0, 0, 7, 0, 0));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "loaded elsewhere 7"), 0);
    // Only a change of the preset on air counts, not of the flags.
    calls = Handle(Reply(0, 0, 0, 0x87, 0, 0));
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& c) { return c.rfind("loaded", 0) == 0; }),
              0);
}

TEST_F(LedStateHandlerTest, ChangeFlagEnablesCompareAndFollowsTheDevicesSide) {
    Handle(Reply(0, 0, 0, 0x00, 0, 0));
    // Change set with compare side B from the device.
    EXPECT_EQ(Handle(Reply(0, 0, 0, 0xC0, 0, 0)),
              (std::vector<std::string>{
                  "visibility", "data 29", "ab enabled", "log Change Flag Placed to 1",
                  "log Compare Flag Placed to 1 by Device", "compare mode on", "side B",
                  "log Some Preset Flags Changed. Preset List Updated.", "markers 0 0 0 0 1"}));
    EXPECT_TRUE(handler.Compare());
    // Change flag back to 0: A and B released, three lines.
    EXPECT_EQ(Handle(Reply(0, 0, 0, 0x00, 0, 0)),
              (std::vector<std::string>{
                  "visibility", "data 29", "ab disabled", "log Change Flag Placed to 0",
                  "ab released", "compare mode off", "log Compare Flag Placed to 0 and 0",
                  "log Some Preset Flags Changed. Preset List Updated.", "markers 0 0 0 0 0"}));
    EXPECT_FALSE(handler.Compare());
}

TEST_F(LedStateHandlerTest, ShortOrEmptyRepliesReadMissingBytesAsZero) {
    handler.ResetForConnect();
    const auto calls = Handle(ByteString{0x06, 0x82, 7});
    EXPECT_EQ(calls[1], "view agc");
    EXPECT_EQ(calls[2], "bypass off");
    EXPECT_EQ(calls.back(), "markers 7 0 0 0 0");
    EXPECT_NO_FATAL_FAILURE(Handle(ByteString{}));
}

TEST_F(LedStateHandlerTest, ForgottenFlagsCountAsChangedAgain) {
    Handle(Reply(0, 0, 0, 0x80, 0, 0));
    handler.ForgetFlags();
    const auto calls = Handle(Reply(0, 0, 0, 0x80, 0, 0));
    EXPECT_NE(std::find(calls.begin(), calls.end(), "ab enabled"), calls.end());
    EXPECT_EQ(calls.back(), "markers 0 0 0 0 1");
}

} // namespace
