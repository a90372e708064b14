#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "exporter/ExporterHarness.h"
#include "exporter/RealPrometheus.h"

using namespace std::chrono_literals;

namespace {

// The shipped rules with every "for:" cut to a second, so the test need not wait minutes.
std::string ShortenedRules() {
    std::ifstream in(std::string(SOLVEI_MONITORING_DIR) + "/alerts.yml");
    std::stringstream text;
    text << in.rdbuf();
    return std::regex_replace(text.str(), std::regex(R"(for: \S+)"), "for: 1s");
}

// The list under "data" → key of an API answer ("result" of a query, "alerts").
QJsonArray Api(int port, const std::string& path, const char* key) {
    const auto body = ExporterHarness::HttpGet(port, path);
    if (!body) {
        return {};
    }
    const auto json = QJsonDocument::fromJson(QByteArray::fromStdString(*body)).object();
    return json["data"].toObject()[key].toArray();
}

} // namespace

TEST(ExporterPrometheus, ScrapedFleetIsUpAndTheDownAlertFires) {
    if (!RealPrometheus::Installed()) {
        GTEST_SKIP() << "prometheus is not installed";
    }
    ExporterHarness h("prometheus");
    auto fm = h.StartSim({"--udp", "127.0.0.1:0"});
    auto am = h.StartSim({"--udp", "127.0.0.1:0", "--seed", "9"});
    ASSERT_EQ(fm.ports.size(), 1u);
    ASSERT_EQ(am.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter({"--interval", "0.5", "--timeout", "100", "--processor",
                                 "fm=127.0.0.1:" + std::to_string(fm.ports[0]), "--processor",
                                 "am=127.0.0.1:" + std::to_string(am.ports[0])}));

    std::ofstream(h.Path("alerts.yml")) << ShortenedRules();
    RealPrometheus prometheus(h, {h.Path("alerts.yml")});
    const int port = prometheus.Port();

    // Through Prometheus's own API: both processors are up.
    EXPECT_TRUE(ExporterHarness::WaitFor(
        [&] {
            const auto result = Api(port, "/api/v1/query?query=solvei_up", "result");
            if (result.size() != 2) {
                return false;
            }
            for (const auto& sample : result) {
                if (sample.toObject()["value"].toArray()[1].toString() != "1") {
                    return false;
                }
            }
            return true;
        },
        20s));

    fm.process->Stop(SIGKILL, 5s);
    const auto firing = [&](const std::string& alert, const std::string& processor) {
        for (const auto& a : Api(port, "/api/v1/alerts", "alerts")) {
            const auto o = a.toObject();
            if (o["labels"].toObject()["alertname"].toString().toStdString() == alert &&
                o["labels"].toObject()["processor"].toString().toStdString() == processor &&
                o["state"].toString() == "firing") {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(ExporterHarness::WaitFor([&] { return firing("SolveiProcessorDown", "fm"); }, 20s));
    EXPECT_FALSE(firing("SolveiProcessorDown", "am"));
    // The description names the processor's address and why it is down, from the exporter.
    std::string description;
    for (const auto& a : Api(port, "/api/v1/alerts", "alerts")) {
        if (a.toObject()["labels"].toObject()["processor"].toString() == "fm") {
            description =
                a.toObject()["annotations"].toObject()["description"].toString().toStdString();
        }
    }
    EXPECT_NE(description.find("fm at 127.0.0.1:" + std::to_string(fm.ports[0]) + " for a minute"),
              std::string::npos)
        << description;
    EXPECT_EQ(description.find("unknown"), std::string::npos) << description;
    prometheus.Stop();
}
