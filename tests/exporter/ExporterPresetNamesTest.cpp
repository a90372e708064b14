#include <gtest/gtest.h>

#include "exporter/CProcessorSession.h"
#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

// A rename shows nowhere in the LED state, but the save that follows editing does: the list
// is read again then, not ten minutes later at the periodic reading.
TEST(ExporterPresetNames, ReadAgainWhenEditsAreSaved) {
    ExporterHarness h("names-saved");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    const int port = sim.ports[0];
    ASSERT_TRUE(h.StartExporter({"--interval", "0.2", "--timeout", "100", "--processor",
                                 "fm=127.0.0.1:" + std::to_string(port)}));
    ASSERT_TRUE(h.WaitForMetric(
        "solvei_preset_info", {{"processor", "fm"}, {"number", "0"}, {"name", "USER 1"}}, 1, 10s));
    const std::string settings = h.Path("settings");
    ASSERT_EQ(ExporterHarness::Ctl(port, {"preset-rename", "0", "MORNING"}, settings).exitCode, 0);
    ASSERT_EQ(ExporterHarness::Ctl(port, {"write", "0", "0", "0x0", "3"}, settings).exitCode, 0);
    ASSERT_TRUE(h.WaitForMetric("solvei_edits_pending", {{"processor", "fm"}}, 1, 10s));
    // Still the old name: nothing so far says the list changed.
    EXPECT_TRUE(h.Metric("solvei_preset_info", {{"processor", "fm"}, {"name", "USER 1"}}));
    ASSERT_EQ(ExporterHarness::Ctl(port, {"preset-save", "0"}, settings).exitCode, 0);
    EXPECT_TRUE(h.WaitForMetric(
        "solvei_preset_info", {{"processor", "fm"}, {"number", "0"}, {"name", "MORNING"}}, 1, 10s));
    EXPECT_EQ(h.Metric("solvei_reconnects_total", {{"processor", "fm"}}), 0);
}

namespace {

// An LED reply with the markers, the preset on air and the compare and change flags.
CLedState Leds(int tr, int dp, int def, int current, bool compare, bool change) {
    ByteString r(29, 0);
    r[0] = 0x06;
    r[1] = 0x82;
    r[2] = static_cast<std::uint8_t>(tr);
    r[3] = static_cast<std::uint8_t>(dp);
    r[4] = static_cast<std::uint8_t>(def);
    r[5] = static_cast<std::uint8_t>(current | (change ? 0x80 : 0) | (compare ? 0x40 : 0));
    return CLedState(r);
}

} // namespace

TEST(ExporterPresetNames, LedStatesThatMeanTheListMayHaveChanged) {
    const CLedState editing = Leds(0xFF, 2, 8, 3, false, true);
    struct Case {
        const char* what;
        CLedState now;
        bool readAgain;
    };
    const Case cases[] = {
        {"nothing changed", editing, false},
        {"edits saved", Leds(0xFF, 2, 8, 3, false, false), true},
        {"saved into another preset", Leds(0xFF, 2, 8, 0, false, false), true},
        {"compare side A, edits kept", Leds(0xFF, 2, 8, 3, true, false), false},
        {"another preset loaded over pending edits", Leds(0xFF, 2, 8, 5, false, false), true},
        {"daypart marker moved", Leds(0xFF, 4, 8, 3, false, true), true},
        {"trigger marker set", Leds(1, 2, 8, 3, false, true), true},
        {"default marker moved", Leds(0xFF, 2, 9, 3, false, true), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CProcessorSession::PresetsWereEdited(editing, c.now), c.readAgain) << c.what;
    }
    // A load without edits pending, and edits starting, are ordinary operation.
    const CLedState idle = Leds(0xFF, 2, 8, 3, false, false);
    EXPECT_FALSE(CProcessorSession::PresetsWereEdited(idle, Leds(0xFF, 2, 8, 5, false, false)));
    EXPECT_FALSE(CProcessorSession::PresetsWereEdited(idle, editing));
}
