#include <QByteArray>

#include <gtest/gtest.h>

#include <fstream>

#include "exporter/CExporterOptions.h"
#include "exporter/CFleetMetrics.h"
#include "exporter/CStatusPage.h"
#include "exporter/ExporterHarness.h"
#include "exporter/HttpRequestHead.h"

namespace {

ByteString LedReply(int tr, int dp, int def, int currentByte, int view, int bypass,
                    std::initializer_list<std::pair<int, int>> rows = {}) {
    ByteString r(29, 0);
    r[0] = 0x06;
    r[1] = 0x82;
    r[2] = static_cast<std::uint8_t>(tr);
    r[3] = static_cast<std::uint8_t>(dp);
    r[4] = static_cast<std::uint8_t>(def);
    r[5] = static_cast<std::uint8_t>(currentByte);
    std::size_t i = 6;
    for (const auto& [lit, peak] : rows) {
        r[i++] = static_cast<std::uint8_t>(lit);
        r[i++] = static_cast<std::uint8_t>(peak);
    }
    r[22] = static_cast<std::uint8_t>(view);
    r[23] = static_cast<std::uint8_t>(bypass);
    return r;
}

ProcessorStatus UpProcessor() {
    ProcessorStatus p;
    p.name = "fm";
    p.link = "udp";
    p.address = "127.0.0.1:1203";
    p.up = true;
    p.version = "123";
    // TR unset, DP on U3:, DEF on F1:, U3: on air with compare side B and edits pending.
    p.leds = CLedState(
        LedReply(0xFF, 2, 8, 0x80 | 0x40 | 2, 1, 1, {{16, 20}, {0x40 | 32, 0}, {63, 63}}));
    p.presetCount = 10;
    p.presetNames = {"USER 1", "USER 2", "MORNING", "", "", "", "", "", "NEWS TALK", "ROCK"};
    p.lastReplyAgeSeconds = 0.25;
    p.lastReplyUnixSeconds = 1.5e9;
    p.requests = 40;
    p.retries = 3;
    return p;
}

std::string Scrape(const std::vector<ProcessorStatus>& fleet) {
    return CFleetMetrics::Text(CFleetMetrics::Collect(fleet), 0.001);
}

} // namespace

struct MetricCase {
    const char* name;
    const char* metric;
    std::map<std::string, std::string> labels;
    double value;
};

class FleetMetricsValue : public ::testing::TestWithParam<MetricCase> {};

TEST_P(FleetMetricsValue, ReadsTheLedState) {
    const auto text = Scrape({UpProcessor()});
    auto labels = GetParam().labels;
    labels["processor"] = "fm";
    const auto value = ExporterHarness::Sample(text, GetParam().metric, labels);
    ASSERT_TRUE(value) << text;
    EXPECT_DOUBLE_EQ(*value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FleetMetricsValue,
    ::testing::Values(MetricCase{"up", "solvei_up", {}, 1},
                      MetricCase{"info", "solvei_info", {{"version", "123"}, {"type", "udp"}}, 1},
                      MetricCase{"bypass", "solvei_bypass", {}, 1},
                      MetricCase{"current", "solvei_preset_current", {}, 2},
                      MetricCase{"on_air_info",
                                 "solvei_preset_on_air_info",
                                 {{"number", "2"}, {"label", "U3:"}, {"name", "MORNING"}},
                                 1},
                      MetricCase{"other_info",
                                 "solvei_preset_info",
                                 {{"number", "8"}, {"label", "F1:"}, {"name", "NEWS TALK"}},
                                 1},
                      MetricCase{"marker_unset", "solvei_preset_marker", {{"marker", "tr"}}, -1},
                      MetricCase{"marker_dp", "solvei_preset_marker", {{"marker", "dp"}}, 2},
                      MetricCase{"marker_def", "solvei_preset_marker", {{"marker", "def"}}, 8},
                      MetricCase{"compare", "solvei_compare_side", {}, 1},
                      MetricCase{"edits", "solvei_edits_pending", {}, 1},
                      MetricCase{"view", "solvei_meter_view", {}, 1},
                      MetricCase{"level_half", "solvei_meter_level_ratio", {{"row", "0"}}, 0.5},
                      MetricCase{"peak", "solvei_meter_peak_ratio", {{"row", "0"}}, 20.0 / 32},
                      // The colour bits are not part of the level; a full row is 32 segments of 63.
                      MetricCase{
                          "level_colour_bits", "solvei_meter_level_ratio", {{"row", "1"}}, 1},
                      MetricCase{"level_over_scale", "solvei_meter_level_ratio", {{"row", "2"}}, 1},
                      MetricCase{"row_without_peak", "solvei_meter_peak_ratio", {{"row", "1"}}, 0},
                      MetricCase{"replied", "solvei_last_reply_timestamp_seconds", {}, 1.5e9},
                      MetricCase{"requests", "solvei_link_requests_total", {}, 40},
                      MetricCase{"retries", "solvei_link_retries_total", {}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FleetMetrics, DownProcessorKeepsCountersButNoStaleState) {
    ProcessorStatus down = UpProcessor();
    down.name = "am";
    down.up = false;
    down.leds.reset();
    down.cause = "no reply";
    const auto text = Scrape({UpProcessor(), down});
    EXPECT_EQ(ExporterHarness::Sample(text, "solvei_up", {{"processor", "am"}}), 0);
    EXPECT_EQ(ExporterHarness::Sample(text, "solvei_link_retries_total", {{"processor", "am"}}), 3);
    for (const char* metric :
         {"solvei_bypass", "solvei_preset_current", "solvei_preset_info",
          "solvei_preset_on_air_info", "solvei_meter_level_ratio", "solvei_preset_marker"}) {
        EXPECT_FALSE(ExporterHarness::Sample(text, metric, {{"processor", "am"}})) << metric;
        EXPECT_TRUE(ExporterHarness::Sample(text, metric, {{"processor", "fm"}})) << metric;
    }
    // Text format rules: typed families, no timestamps, the exporter's own scrape time.
    EXPECT_NE(text.find("# TYPE solvei_link_requests_total counter"), std::string::npos);
    EXPECT_NE(text.find("# TYPE solvei_link_round_trip_seconds histogram"), std::string::npos);
    EXPECT_TRUE(ExporterHarness::Sample(text, "solvei_exporter_scrape_duration_seconds"));
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') {
            EXPECT_EQ(
                std::count(line.begin() + static_cast<long>(line.rfind('}') == std::string::npos
                                                                ? 0
                                                                : line.rfind('}')),
                           line.end(), ' '),
                1)
                << "a timestamp or stray field: " << line;
        }
    }
}

TEST(FleetMetrics, LabelValuesAreEscaped) {
    ProcessorStatus p = UpProcessor();
    p.presetNames[2] = "A \"Q\" \\ B";
    const auto text = Scrape({p});
    EXPECT_NE(text.find(R"(name="A \"Q\" \\ B")"), std::string::npos) << text;
}

TEST(StatusPage, ShowsTheFleetAndEscapesNames) {
    ProcessorStatus up = UpProcessor();
    up.presetNames[2] = "<b>&MORNING";
    ProcessorStatus down;
    down.name = "am";
    down.address = "/dev/ttyS0";
    down.cause = "serial port in use by another program";
    const auto html = CStatusPage::Html({up, down});
    EXPECT_NE(html.find("http-equiv=\"refresh\""), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("1 of 2 up, 1 bypassed"), std::string::npos);
    EXPECT_NE(html.find("U3: &lt;b&gt;&amp;MORNING (DP)"), std::string::npos) << html;
    EXPECT_NE(html.find("BYPASS"), std::string::npos);
    EXPECT_NE(html.find("I/O"), std::string::npos);
    EXPECT_NE(html.find("DOWN <span>serial port in use by another program</span>"),
              std::string::npos);
    EXPECT_NE(html.find("never"), std::string::npos);
}

TEST(StatusPage, PresetTextCarriesEveryMarkerInTheListsOrder) {
    ProcessorStatus p = UpProcessor();
    p.leds = CLedState(LedReply(8, 8, 8, 8, 0, 0));
    EXPECT_EQ(CStatusPage::PresetText(p), "F1: NEWS TALK (TR) (DP) (DEF)");
    p.leds = CLedState(LedReply(0xFF, 0xFF, 0xFF, 12, 0, 0));
    EXPECT_EQ(CStatusPage::PresetText(p), "F5:"); // beyond the list: no name known yet
}

struct OptionCase {
    const char* name;
    std::vector<std::string> args;
    const char* error; // empty: valid
};

class ExporterOptionsParse : public ::testing::TestWithParam<OptionCase> {};

TEST_P(ExporterOptionsParse, AcceptsOrExplains) {
    std::string error;
    const auto options = CExporterOptions::Parse(GetParam().args, error);
    if (std::string(GetParam().error).empty()) {
        EXPECT_TRUE(options) << error;
    } else {
        EXPECT_FALSE(options);
        EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExporterOptionsParse,
    ::testing::Values(
        OptionCase{"udp", {"--processor", "fm=10.0.0.5:1203"}, ""},
        OptionCase{"serial", {"--processor", "am=/dev/ttyUSB0"}, ""},
        OptionCase{"ipv6_listen", {"--listen", "[::1]:9000", "--processor", "a=h:1"}, ""},
        OptionCase{"fraction_interval", {"--interval", "0.5", "--processor", "a=h:1"}, ""},
        OptionCase{"no_equals", {"--processor", "fm"}, "NAME=HOST:PORT"},
        OptionCase{"bad_name", {"--processor", "f m=h:1"}, "bad processor name"},
        OptionCase{"no_port", {"--processor", "fm=host"}, "bad address"},
        OptionCase{"port_zero", {"--processor", "fm=host:0"}, "bad address"},
        OptionCase{"port_range", {"--processor", "fm=host:70000"}, "bad address"},
        OptionCase{"listen_no_port",
                   {"--listen", "host", "--processor", "a=h:1"},
                   "bad value for --listen"},
        OptionCase{"interval_text",
                   {"--interval", "1s", "--processor", "a=h:1"},
                   "bad value for --interval"},
        OptionCase{
            "timeout_small", {"--timeout", "1", "--processor", "a=h:1"}, "bad value for --timeout"},
        OptionCase{"missing_value", {"--processor"}, "needs a value"},
        OptionCase{"unknown", {"--verbose"}, "unknown option"},
        OptionCase{
            "duplicate", {"--processor", "a=h:1", "--processor", "a=/dev/x"}, "given twice"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExporterOptions, ConfigFileAndCommandLineCombine) {
    ExporterHarness h("options");
    const std::string path = h.Path("exporter.json");
    std::ofstream(path) << R"({"listen": "127.0.0.1:9999", "interval": 2, "timeout_ms": 300,
        "processors": [{"name": "fm", "host": "10.1.1.1", "port": 1300, "interval": 0.5},
                       {"name": "am", "device": "/dev/ttyS1"}]})";
    std::string error;
    const auto o = CExporterOptions::Parse(
        {"--interval", "3", "--config", path, "--processor", "tv=10.1.1.2:1203"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->listenHost, "127.0.0.1");
    EXPECT_EQ(o->listenPort, 9999);
    EXPECT_EQ(o->intervalSeconds, 3); // the command line wins wherever it stands
    EXPECT_EQ(o->replyTimeoutMs, 300);
    ASSERT_EQ(o->processors.size(), 3u);
    EXPECT_EQ(o->processors[0].Address(), "10.1.1.1:1300");
    EXPECT_EQ(o->processors[0].intervalSeconds, 0.5);
    EXPECT_TRUE(o->processors[1].IsSerial());
    EXPECT_EQ(o->processors[1].Address(), "/dev/ttyS1");
    EXPECT_EQ(o->processors[2].name, "tv");

    for (const char* bad : {R"([1, 2])", R"({"processors": {}})", R"({"listen": 5})",
                            R"({"processors": [{"name": "a", "host": "h", "port": "x"}]})",
                            R"({"processors": [{"name": "a", "host": "h", "colour": 1}]})",
                            R"({"processors": [{"name": "a", "device": "/dev/x", "port": 2}]})",
                            R"({"processors": [{"name": "a", "host": "h", "interval": 0}]})"}) {
        std::ofstream(path) << bad;
        EXPECT_FALSE(CExporterOptions::Parse({"--config", path}, error)) << bad;
        EXPECT_NE(error.find("config " + path), std::string::npos) << error;
    }
}

TEST(HttpRequestHead, TakesGetAndHeadOfAnAbsolutePathAndRefusesTheRest) {
    const struct {
        const char* head;
        int status;
        const char* path;
        bool headOnly;
    } cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", 200, "/metrics", false},
        {"GET /?x=1 HTTP/1.0\r\n\r\n", 200, "/", false},
        {"HEAD /metrics HTTP/1.1\r\n\r\n", 200, "/metrics", true},
        {"GET /metrics HTTP/1.1\n\n", 200, "/metrics", false},
        {"POST /metrics HTTP/1.1\r\n\r\n", 405, "", false},
        {"GET metrics HTTP/1.1\r\n\r\n", 400, "", false},
        {"GET /metrics\r\nHTTP/1.1\r\n\r\n", 400, "", false},
        {"GET /metrics HTTP/2\r\n\r\n", 400, "", false},
        {"GET /a b HTTP/1.1\r\n\r\n", 400, "", false},
        {"", 400, "", false},
    };
    for (const auto& c : cases) {
        const HttpRequestHead request = HttpRequestHead::Parse(c.head);
        EXPECT_EQ(request.status, c.status) << c.head;
        EXPECT_EQ(request.path, c.path) << c.head;
        EXPECT_EQ(request.headOnly, c.headOnly) << c.head;
    }
}

TEST(ExporterOptions, AConfigErrorStaysOneLineWhateverTheFileHolds) {
    CExporterOptions options;
    std::string error;
    const QByteArray text("{\"time\nout_ms\": 500, \"processors\": []}");
    ASSERT_FALSE(CExporterOptions::ParseConfig(text, "station.json", options, error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_NE(error.find("time\\x0aout_ms"), std::string::npos) << error;
    EXPECT_EQ(error.rfind("config station.json: ", 0), 0u) << error;
}
