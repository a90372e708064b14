#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "exporter/ExporterHarness.h"

using namespace std::chrono_literals;

namespace {

const char* kChromium = "/usr/bin/chromium";

TestProcess::Result Chromium(const ExporterHarness& h, const std::vector<std::string>& what,
                             const std::string& url) {
    std::vector<std::string> argv = {
        kChromium,           "--headless",
        "--no-sandbox",      "--disable-gpu",
        "--no-first-run",    "--disable-extensions",
        "--hide-scrollbars", "--user-data-dir=" + h.Path("chromium-profile")};
    argv.insert(argv.end(), what.begin(), what.end());
    argv.push_back(url);
    return TestProcess::Run(argv, {{"HOME", h.Path("home")}}, 60s);
}

} // namespace

// The landing page as a NOC screen shows it, in a real browser.
TEST(ExporterBrowser, LandingPageShowsTheFleetWithoutJavaScript) {
    if (!std::filesystem::exists(kChromium)) {
        GTEST_SKIP() << "chromium is not installed";
    }
    ExporterHarness h("browser");
    auto fleet = h.StartSim({"--udp", "127.0.0.1:0", "--fleet", "3"}, 3);
    ASSERT_EQ(fleet.ports.size(), 3u);
    ASSERT_TRUE(
        h.StartExporter({"--interval", "0.2", "--timeout", "100", "--processor",
                         "fm-north=127.0.0.1:" + std::to_string(fleet.ports[0]), "--processor",
                         "fm-south=127.0.0.1:" + std::to_string(fleet.ports[1]), "--processor",
                         "am-east=127.0.0.1:" + std::to_string(fleet.ports[2]), "--processor",
                         "tv-west=127.0.0.1:9"}));
    // The fleet's members play presets 0, 1 and 2; the first is named after its site.
    for (const std::string name : {"fm-north", "fm-south", "am-east"}) {
        ASSERT_TRUE(h.WaitFor(
            [&] {
                return h.Metric("solvei_preset_info", {{"processor", name}, {"label", "U1:"}})
                           .has_value() &&
                       h.Metric("solvei_preset_info", {{"processor", name}, {"number", "15"}})
                           .has_value();
            },
            15s))
            << name;
    }
    ASSERT_EQ(ExporterHarness::Ctl(fleet.ports[1], {"bypass", "on"}, h.Path("settings")).exitCode,
              0);
    ASSERT_TRUE(h.WaitForMetric("solvei_bypass", {{"processor", "fm-south"}}, 1, 5s));
    const std::string url = "http://127.0.0.1:" + std::to_string(h.ExporterPort()) + "/";

    // Headless chromium reads the DOM and takes screenshots through script of its own, so
    // scripts stay on; the page carries none and reloads itself through its meta tag.
    const auto dom = Chromium(h, {"--dump-dom"}, url);
    ASSERT_EQ(dom.exitCode, 0) << dom.err;
    const std::string& html = dom.out;
    EXPECT_NE(html.find("3 of 4 up, 1 bypassed"), std::string::npos) << html;
    EXPECT_NE(html.find("<tr class=\"up\" data-processor=\"fm-north\">"), std::string::npos);
    EXPECT_NE(html.find("<tr class=\"down\" data-processor=\"tv-west\">"), std::string::npos);
    EXPECT_NE(html.find("U1: SITE 1"), std::string::npos) << html;
    EXPECT_NE(html.find("U2: USER 2"), std::string::npos) << html;
    EXPECT_NE(html.find("BYPASS"), std::string::npos);
    // The page asks to be reloaded by itself.
    EXPECT_NE(html.find("http-equiv=\"refresh\""), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);

    const std::string shot = h.Path("fleet.png");
    const auto result = Chromium(h, {"--window-size=1280,360", "--screenshot=" + shot}, url);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(std::filesystem::exists(shot));
    std::ifstream png(shot, std::ios::binary);
    char magic[8] = {};
    png.read(magic, sizeof magic);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
    EXPECT_GT(std::filesystem::file_size(shot), 10000u);
}
