#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "exporter/CFleetMetrics.h"
#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

ProcessorStatus Processor(const std::string& name, bool up) {
    ProcessorStatus p;
    p.name = name;
    p.link = "serial";
    p.address = "/dev/ttyUSB" + name;
    p.up = up;
    p.cause = up ? "" : "serial port in use by another program";
    return p;
}

std::string Scrape(const std::vector<ProcessorStatus>& fleet) {
    return CFleetMetrics::Text(CFleetMetrics::Collect(fleet), 0.001);
}

} // namespace

// The alerts name the address and the cause from these, so they are there even for a
// processor that was never reached (no version yet).
TEST(FleetMetricContent, InfoNamesTheAddressAndDownInfoTheCause) {
    const auto text = Scrape({Processor("0", false), Processor("1", true)});
    EXPECT_EQ(ExporterHarness::Sample(
                  text, "solvei_info",
                  {{"processor", "0"}, {"address", "/dev/ttyUSB0"}, {"type", "serial"}}),
              1)
        << text;
    EXPECT_EQ(ExporterHarness::Sample(
                  text, "solvei_down_info",
                  {{"processor", "0"}, {"cause", "serial port in use by another program"}}),
              1);
    EXPECT_EQ(ExporterHarness::Sample(text, "solvei_info", {{"processor", "1"}}), 1);
    EXPECT_FALSE(ExporterHarness::Sample(text, "solvei_down_info", {{"processor", "1"}}));
}

// A real scrape with a processor up and one down passes Prometheus's own lint, and every
// _info sample in it is 1 (what changes is told by other gauges, never by an info's value).
TEST(FleetMetricContent, RealScrapeLintsCleanAndInfosAreOne) {
    const char* promtool = "/usr/bin/promtool";
    if (!std::filesystem::exists(promtool)) {
        GTEST_SKIP() << "promtool is not installed";
    }
    ExporterHarness h("lint");
    auto sim = h.StartSim({"--udp", "127.0.0.1:0"});
    ASSERT_EQ(sim.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter({"--interval", "0.2", "--timeout", "100", "--processor",
                                 "fm=127.0.0.1:" + std::to_string(sim.ports[0]), "--processor",
                                 "gone=127.0.0.1:9"}));
    std::string text;
    ASSERT_TRUE(ExporterHarness::WaitFor(
        [&] {
            text = h.Get("/metrics").value_or("");
            return ExporterHarness::Sample(text, "solvei_preset_info",
                                           {{"processor", "fm"}, {"number", "15"}}) &&
                   ExporterHarness::Sample(text, "solvei_down_info", {{"processor", "gone"}});
        },
        10s));
    std::ofstream(h.Path("scrape.txt")) << text;
    const auto lint = TestProcess::Run(
        {"/bin/sh", "-c", std::string(promtool) + " check metrics < " + h.Path("scrape.txt")}, {});
    EXPECT_EQ(lint.exitCode, 0) << lint.out << lint.err;
    EXPECT_EQ(lint.out + lint.err, "");

    std::istringstream lines(text);
    std::string line;
    int infos = 0;
    while (std::getline(lines, line)) {
        const auto name = line.substr(0, line.find_first_of("{ "));
        if (!line.empty() && line[0] != '#' && name.ends_with("_info")) {
            ++infos;
            EXPECT_EQ(line.substr(line.rfind(' ') + 1), "1") << line;
        }
    }
    EXPECT_GT(infos, 16);
}
