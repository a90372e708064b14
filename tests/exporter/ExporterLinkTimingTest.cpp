#include <gtest/gtest.h>

#include <csignal>
#include <set>

#include "exporter/CProcessorSession.h"
#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

TEST(ExporterLinkTiming, ReconnectPausesAreSpreadOverTheirUpperHalf) {
    for (const auto pause : {1000ms, 8000ms, 30000ms}) {
        std::set<long> seen;
        for (std::uint32_t r = 0; r < 2000; ++r) {
            const auto wait = CProcessorSession::Jittered(pause, r * 2654435761u);
            EXPECT_GE(wait, pause / 2);
            EXPECT_LE(wait, pause);
            seen.insert(wait.count());
        }
        // Spread, not one instant for the whole fleet.
        EXPECT_GT(seen.size(), 300u);
        EXPECT_LT(*seen.begin(), (pause / 2 + pause / 10).count());
        EXPECT_GT(*seen.rbegin(), (pause - pause / 10).count());
    }
}

// A request answered only after repetitions counts its whole time, from its first send: a
// lossy link shows in the round-trip histogram, not only in the retry counter.
TEST(ExporterLinkTiming, RoundTripRunsFromTheFirstSendThroughItsRepetitions) {
    ExporterHarness h("roundtrip");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0", "--seed", "11", "--drop", "0.3"});
    ASSERT_EQ(sim.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter({"--interval", "0.2", "--timeout", "150", "--processor",
                                 "fm=127.0.0.1:" + std::to_string(sim.ports[0])}));
    std::string text;
    ASSERT_TRUE(ExporterHarness::WaitFor(
        [&] {
            text = h.Get("/metrics").value_or("");
            return ExporterHarness::Sample(text, "solvei_link_retries_total", {{"processor", "fm"}})
                       .value_or(0) >= 5;
        },
        60s));
    const auto count = ExporterHarness::Sample(text, "solvei_link_round_trip_seconds_count",
                                               {{"processor", "fm"}});
    const auto fast = ExporterHarness::Sample(text, "solvei_link_round_trip_seconds_bucket",
                                              {{"processor", "fm"}, {"le", "0.1"}});
    ASSERT_TRUE(count && fast);
    // Every repeated request waited at least one 150 ms time-out.
    EXPECT_GE(*count - *fast, 1) << text.substr(text.find("solvei_link_round_trip"), 2000);
}

// SIGTERM ends the program within 3 s even while a processor answers slowly and another
// not at all.
TEST(ExporterLinkTiming, SigtermEndsWithinThreeSecondsWithASlowProcessor) {
    ExporterHarness h("sigterm");
    auto slow = h.StartSim({"--udp", "127.0.0.1:0", "--delay", "400"});
    ASSERT_EQ(slow.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter(
        {"--interval", "0.2", "--processor", "slow=127.0.0.1:" + std::to_string(slow.ports[0]),
         "--processor", "gone=127.0.0.1:" + std::to_string(ExporterHarness::FreeTcpPort())}));
    ASSERT_TRUE(h.WaitForMetric("solvei_up", {{"processor", "slow"}}, 1, 30s));
    // The slow one has a request outstanding most of the time, the other one always.
    const auto start = std::chrono::steady_clock::now();
    const int code = h.Exporter().Stop(SIGTERM, 20s);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(code, 0);
    EXPECT_LT(took, 3s) << std::chrono::duration<double>(took).count() << " s";
}
