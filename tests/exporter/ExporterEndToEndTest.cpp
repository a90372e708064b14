#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <future>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>

#include "exporter/CProcessorSession.h"
#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

// Short link timing keeps the tests quick: a dead processor is noticed after 10 x 100 ms.
const std::vector<std::string> kFast = {"--interval", "0.2", "--timeout", "100"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::string Udp(const std::string& name, int port) {
    return name + "=127.0.0.1:" + std::to_string(port);
}

} // namespace

TEST(ExporterEndToEnd, MetricsFollowTheProcessorOverUdpAndSerial) {
    ExporterHarness h("follow");
    auto udp = h.StartSim({"--udp", "127.0.0.1:0", "--seed", "5"});
    auto serial = h.StartSim({"--no-udp", "--pty", h.Path("serial-link")});
    ASSERT_EQ(udp.ports.size(), 1u);
    ASSERT_FALSE(serial.device.empty());
    ASSERT_TRUE(h.StartExporter(With(
        kFast, {"--processor", Udp("fm", udp.ports[0]), "--processor", "am=" + serial.device})));

    for (const std::string name : {"fm", "am"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(h.WaitForMetric("solvei_up", {{"processor", name}}, 1, 10s));
        EXPECT_EQ(h.Metric("solvei_info", {{"processor", name}, {"version", "123"}}), 1);
        // The list is read after the version; out of the box the first factory preset plays.
        ASSERT_TRUE(h.WaitForMetric(
            "solvei_preset_on_air_info",
            {{"processor", name}, {"number", "8"}, {"label", "F1:"}, {"name", "NEWS TALK"}}, 1,
            10s));
        EXPECT_EQ(h.Metric("solvei_preset_info",
                           {{"processor", name}, {"label", "U1:"}, {"name", "USER 1"}}),
                  1);
        EXPECT_EQ(h.Metric("solvei_preset_current", {{"processor", name}}), 8);
        EXPECT_EQ(h.Metric("solvei_preset_marker", {{"processor", name}, {"marker", "def"}}), 8);
        EXPECT_EQ(h.Metric("solvei_preset_marker", {{"processor", name}, {"marker", "tr"}}), -1);
        EXPECT_EQ(h.Metric("solvei_bypass", {{"processor", name}}), 0);
        EXPECT_EQ(h.Metric("solvei_meter_view", {{"processor", name}}), 0);
        EXPECT_GT(*h.Metric("solvei_link_requests_total", {{"processor", name}}), 3);
        EXPECT_GT(*h.Metric("solvei_link_round_trip_seconds_count", {{"processor", name}}), 0);
        const double now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        EXPECT_NEAR(*h.Metric("solvei_last_reply_timestamp_seconds", {{"processor", name}}), now,
                    2.0);
    }
    // The meters move from one poll to the next.
    const auto rowSum = [&] {
        const auto text = h.Get("/metrics");
        double sum = 0;
        for (int r = 0; r < 8; ++r) {
            const auto v =
                ExporterHarness::Sample(*text, "solvei_meter_level_ratio",
                                        {{"processor", "am"}, {"row", std::to_string(r)}});
            EXPECT_TRUE(v && *v >= 0 && *v <= 1);
            sum += v.value_or(0);
        }
        return sum;
    };
    const double first = rowSum();
    EXPECT_TRUE(ExporterHarness::WaitFor([&] { return rowSum() != first; }, 5s));

    const std::string settings = h.Path("settings");
    const int port = udp.ports[0];
    ASSERT_EQ(ExporterHarness::Ctl(port, {"bypass", "on"}, settings).exitCode, 0);
    EXPECT_TRUE(h.WaitForMetric("solvei_bypass", {{"processor", "fm"}}, 1, 5s));
    ASSERT_EQ(ExporterHarness::Ctl(port, {"preset-load", "2"}, settings).exitCode, 0);
    EXPECT_TRUE(h.WaitForMetric("solvei_preset_current", {{"processor", "fm"}}, 2, 5s));
    EXPECT_EQ(h.Metric("solvei_preset_on_air_info",
                       {{"processor", "fm"}, {"number", "2"}, {"label", "U3:"}}),
              1);
    EXPECT_FALSE(h.Metric("solvei_preset_on_air_info", {{"processor", "fm"}, {"number", "8"}}));
    ASSERT_EQ(ExporterHarness::Ctl(port, {"meters-flip"}, settings).exitCode, 0);
    EXPECT_TRUE(h.WaitForMetric("solvei_meter_view", {{"processor", "fm"}}, 1, 5s));
    // The other processor is untouched.
    EXPECT_EQ(h.Metric("solvei_bypass", {{"processor", "am"}}), 0);
    EXPECT_EQ(h.Metric("solvei_meter_view", {{"processor", "am"}}), 0);
}

TEST(ExporterEndToEnd, ListIsReadAgainWhenThePresetOnAirIsUnknown) {
    // The processor comes back at once with more presets, between two polls so the link never
    // notices, and loads one the exporter has never heard of.
    ExporterHarness h("relist");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0", "--presets", "16"});
    ASSERT_EQ(sim.ports.size(), 1u);
    const int port = sim.ports[0];
    ASSERT_TRUE(
        h.StartExporter({"--interval", "2", "--timeout", "500", "--processor", Udp("fm", port)}));
    ASSERT_TRUE(h.WaitFor(
        [&] {
            return h.Metric("solvei_preset_info", {{"processor", "fm"}, {"number", "15"}})
                .has_value();
        },
        10s));
    EXPECT_FALSE(h.Metric("solvei_preset_info", {{"processor", "fm"}, {"number", "18"}}));

    // Just after a poll went out and came back, there are two quiet seconds.
    const double polls = *h.Metric("solvei_link_requests_total", {{"processor", "fm"}});
    ASSERT_TRUE(h.WaitFor(
        [&] {
            return *h.Metric("solvei_link_requests_total", {{"processor", "fm"}}) > polls;
        },
        5s));
    ASSERT_EQ(sim.process->Stop(SIGTERM, 5s), 0);
    sim = h.StartSim({"--udp", "127.0.0.1:" + std::to_string(port), "--presets", "20"});
    ASSERT_EQ(sim.ports.size(), 1u);
    // The first number past the list it knows (16 of 0..15) is as unknown as any beyond.
    ASSERT_EQ(ExporterHarness::Ctl(port, {"preset-load", "16"}, h.Path("settings")).exitCode, 0);
    EXPECT_TRUE(h.WaitFor(
        [&] {
            return h.Metric("solvei_preset_info", {{"processor", "fm"}, {"number", "16"}})
                .has_value();
        },
        10s))
        << "preset 16 on air, the list not read again";
    ASSERT_EQ(ExporterHarness::Ctl(port, {"preset-load", "18"}, h.Path("settings")).exitCode, 0);
    EXPECT_TRUE(h.WaitForMetric(
        "solvei_preset_on_air_info",
        {{"processor", "fm"}, {"number", "18"}, {"label", "F11:"}, {"name", "GOSPEL"}}, 1, 10s));
    EXPECT_EQ(h.Metric("solvei_preset_current", {{"processor", "fm"}}), 18);
    // Read again because of the LED state, not because the link dropped.
    EXPECT_EQ(h.Metric("solvei_reconnects_total", {{"processor", "fm"}}), 0);
    EXPECT_EQ(h.Metric("solvei_link_retries_total", {{"processor", "fm"}}), 0);
}

TEST(ExporterEndToEnd, PresetNamesAreReadAgainPeriodically) {
    // A rename shows nowhere in the LED state; only the periodic reading of the list finds it.
    // The session runs in-process here with that period cut from minutes to a second.
    ExporterHarness h("periodic");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    ProcessorTarget target;
    target.name = "fm";
    target.host = "127.0.0.1";
    target.port = sim.ports[0];
    CProcessorSession::Timing timing;
    timing.interval = 100ms;
    timing.replyTimeoutMs = 100;
    timing.namesRefresh = std::chrono::seconds(1);
    asio::io_context io;
    auto work = asio::make_work_guard(io);
    CProcessorSession session(io, target, timing);
    std::thread thread([&] { io.run(); });
    asio::post(io, [&] { session.Start(); });
    const auto status = [&] {
        std::promise<ProcessorStatus> promise;
        asio::post(io, [&] { promise.set_value(session.Status()); });
        return promise.get_future().get();
    };
    const auto firstName = [&] { return status().PresetName(0); };
    EXPECT_TRUE(ExporterHarness::WaitFor([&] { return firstName() == "USER 1"; }, 10s));
    ASSERT_EQ(
        ExporterHarness::Ctl(sim.ports[0], {"preset-rename", "0", "MORNING"}, h.Path("settings"))
            .exitCode,
        0);
    EXPECT_TRUE(ExporterHarness::WaitFor([&] { return firstName() == "MORNING"; }, 10s));
    const ProcessorStatus last = status();
    EXPECT_TRUE(last.up);
    EXPECT_EQ(last.reconnects, 0u);

    std::promise<void> stopped;
    asio::post(io, [&] { session.Stop([&] { stopped.set_value(); }); });
    EXPECT_EQ(stopped.get_future().wait_for(5s), std::future_status::ready);
    work.reset();
    io.stop();
    thread.join();
}

TEST(ExporterEndToEnd, KilledSimulatorGoesDownAndComesBackAfterRestart) {
    ExporterHarness h("restart");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    const int port = sim.ports[0];
    ASSERT_TRUE(h.StartExporter(With(kFast, {"--processor", Udp("fm", port)})));
    ASSERT_TRUE(h.WaitForMetric("solvei_up", {{"processor", "fm"}}, 1, 10s));

    sim.process->Stop(SIGKILL, 5s);
    ASSERT_TRUE(h.WaitForMetric("solvei_up", {{"processor", "fm"}}, 0, 10s));
    // A down processor shows no stale state, and the page says why it is down.
    EXPECT_FALSE(h.Metric("solvei_bypass", {{"processor", "fm"}}));
    EXPECT_GE(*h.Metric("solvei_link_failures_total", {{"processor", "fm"}}), 1);
    EXPECT_GE(*h.Metric("solvei_link_retries_total", {{"processor", "fm"}}), 9);
    const auto page = h.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("DOWN <span>no reply</span>"), std::string::npos) << *page;

    sim = h.StartSim({"--udp", "127.0.0.1:" + std::to_string(port)});
    ASSERT_EQ(sim.ports.size(), 1u);
    EXPECT_TRUE(h.WaitForMetric("solvei_up", {{"processor", "fm"}}, 1, 20s));
    EXPECT_GE(*h.Metric("solvei_reconnects_total", {{"processor", "fm"}}), 1);
    EXPECT_TRUE(h.WaitFor(
        [&] {
            return h.Metric("solvei_bypass", {{"processor", "fm"}}).has_value();
        },
        5s));
}

TEST(ExporterEndToEnd, LossyProcessorDoesNotSlowTheOthers) {
    ExporterHarness h("lossy");
    auto fleet = h.StartSim({"--udp", "127.0.0.1:0", "--fleet", "2"}, 2);
    auto lossy = h.StartSim({"--udp", "127.0.0.1:0", "--drop", "0.3", "--seed", "11"});
    ASSERT_EQ(fleet.ports.size(), 2u);
    ASSERT_EQ(lossy.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter(
        With(kFast, {"--processor", Udp("a", fleet.ports[0]), "--processor",
                     Udp("b", fleet.ports[1]), "--processor", Udp("lossy", lossy.ports[0])})));
    for (const std::string name : {"a", "b", "lossy"}) {
        ASSERT_TRUE(h.WaitForMetric("solvei_up", {{"processor", name}}, 1, 15s)) << name;
    }
    // Start counting once every list has been read, so only polls remain.
    for (const std::string name : {"a", "b", "lossy"}) {
        ASSERT_TRUE(h.WaitFor(
            [&] {
                return h.Metric("solvei_preset_info", {{"processor", name}, {"number", "15"}})
                    .has_value();
            },
            15s))
            << name;
    }
    const auto requests = [&](const std::string& name) {
        return *h.Metric("solvei_link_requests_total", {{"processor", name}});
    };
    const auto retries = [&] {
        return *h.Metric("solvei_link_retries_total", {{"processor", "lossy"}});
    };
    const double a0 = requests("a");
    const double b0 = requests("b");
    const double r0 = retries();
    const auto start = std::chrono::steady_clock::now();
    // Long enough for the lossy link to spend many time-outs of 100 ms.
    ASSERT_TRUE(h.WaitFor([&] { return retries() >= r0 + 10; }, 20s));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double expected = seconds / 0.2;
    // The polls of a and b kept their pace (allowing for a loaded machine and one poll at
    // each end of the window); had they waited on the lossy link's time-outs they would
    // have fallen well behind.
    EXPECT_GE(requests("a") - a0, 0.85 * expected - 2) << seconds << " s";
    EXPECT_GE(requests("b") - b0, 0.85 * expected - 2) << seconds << " s";
    // The lossy one fell behind by its time-outs but is still up.
    EXPECT_LT(requests("lossy"), requests("a"));
    EXPECT_EQ(h.Metric("solvei_up", {{"processor", "lossy"}}), 1);
}

TEST(ExporterEndToEnd, SerialPortHeldByAnotherProgramIsReportedDown) {
    ExporterHarness h("serial-busy");
    auto sim = h.StartSim({"--no-udp", "--pty", h.Path("link")});
    ASSERT_FALSE(sim.device.empty());
    // Another remote watching the same processor on the same port holds it.
    TestProcess holder({SOLVEI_CTL_PATH, "--serial", sim.device, "watch"},
                       {{"SOLVEI_SETTINGS_DIR", h.Path("settings")}});
    ASSERT_TRUE(holder.ReadLine(10s)); // it is watching: the port is taken
    ASSERT_TRUE(h.StartExporter(With(kFast, {"--processor", "am=" + sim.device})));
    ASSERT_TRUE(h.WaitFor(
        [&] {
            const auto page = h.Get("/");
            return page && page->find("DOWN <span>serial port in use by another program</span>") !=
                               std::string::npos;
        },
        10s));
    EXPECT_EQ(h.Metric("solvei_up", {{"processor", "am"}}), 0);
    EXPECT_GE(*h.Metric("solvei_link_failures_total", {{"processor", "am"}}), 1);
    // Once the port is free the next attempt takes it.
    holder.Stop(SIGTERM, 10s);
    EXPECT_TRUE(h.WaitForMetric("solvei_up", {{"processor", "am"}}, 1, 15s));
}

TEST(ExporterEndToEnd, StopsCleanlyOnSigterm) {
    ExporterHarness h("stop");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_TRUE(h.StartExporter(
        With(kFast, {"--processor", Udp("fm", sim.ports[0]), "--processor", "gone=127.0.0.1:9"})));
    ASSERT_TRUE(h.WaitForMetric("solvei_up", {{"processor", "fm"}}, 1, 10s));
    int status = 0;
    EXPECT_TRUE(ExporterHarness::HttpGet(h.ExporterPort(), "/nothing", &status));
    EXPECT_EQ(status, 404);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(h.Exporter().Stop(SIGTERM, 10s), 0);
    // The answering processor acknowledges its Disconnect at once; the silent one is given
    // a few seconds' grace at most.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

struct BadStart {
    const char* name;
    std::vector<std::string> args;
    const char* config; // written to the config file when set
    const char* message;
};

class ExporterBadStart : public ::testing::TestWithParam<BadStart> {};

TEST_P(ExporterBadStart, SaysWhyInOneLineAndFails) {
    ExporterHarness h(std::string("bad-") + GetParam().name);
    std::vector<std::string> args = GetParam().args;
    for (auto& arg : args) {
        if (arg == "CONFIG") {
            arg = h.Path("exporter.json");
        }
    }
    if (GetParam().config) {
        std::ofstream(h.Path("exporter.json")) << GetParam().config;
    }
    // A port in use: hold one.
    asio::io_context io;
    asio::ip::tcp::acceptor holder(io, {asio::ip::make_address("127.0.0.1"), 0});
    for (auto& arg : args) {
        if (arg == "HELD") {
            arg = "127.0.0.1:" + std::to_string(holder.local_endpoint().port());
        }
    }
    std::vector<std::string> argv = {SOLVEI_EXPORTER_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto result = TestProcess::Run(argv, {}, 10s);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExporterBadStart,
    ::testing::Values(
        BadStart{"missing_config", {"--config", "CONFIG"}, nullptr, "cannot read config"},
        BadStart{
            "malformed_config", {"--config", "CONFIG"}, "{\"processors\": [", ": line 1, column "},
        BadStart{"config_entry_without_address",
                 {"--config", "CONFIG"},
                 R"({"processors": [{"name": "fm"}]})",
                 "needs either \"host\" or \"device\""},
        BadStart{"duplicate_name",
                 {"--config", "CONFIG", "--processor", "fm=127.0.0.1:1203"},
                 R"({"processors": [{"name": "fm", "host": "127.0.0.1", "port": 1204}]})",
                 "processor name \"fm\" is given twice"},
        BadStart{"port_in_use",
                 {"--listen", "HELD", "--processor", "fm=127.0.0.1:1203"},
                 nullptr,
                 "cannot listen on 127.0.0.1:"},
        BadStart{"no_processor", {"--interval", "2"}, nullptr, "no processor to watch"},
        BadStart{"bad_interval",
                 {"--interval", "0", "--processor", "fm=127.0.0.1:1203"},
                 nullptr,
                 "bad value for --interval"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExporterEndToEnd, SimulatedFleetServesUdpOnly) {
    for (const auto& extra : std::vector<std::vector<std::string>>{
             {"--no-udp", "--pty", "/tmp/solvei-fleet-link"}, {"--state", "/tmp/solvei-fleet"}}) {
        std::vector<std::string> argv = {SOLVEI_SIM_PATH, "--fleet", "2"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        const auto result = TestProcess::Run(argv, {}, 10s);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("--fleet serves UDP only"), std::string::npos) << result.err;
    }
}
