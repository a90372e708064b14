#include <gtest/gtest.h>

#include "exporter/CFleetMetrics.h"
#include "exporter/ExporterHarness.h"

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
