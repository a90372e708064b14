#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "exporter/ExporterHarness.h"
#include "exporter/RealPrometheus.h"

using namespace std::chrono_literals;

namespace {

QJsonObject Dashboard(QByteArray* text = nullptr) {
    QFile file(QString(SOLVEI_MONITORING_DIR) + "/grafana/solvei-fleet.json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (text) {
        *text = bytes;
    }
    return QJsonDocument::fromJson(bytes).object();
}

struct Target {
    std::string panel;
    std::string expr;
};

std::vector<Target> Targets(const QJsonObject& dashboard) {
    std::vector<Target> out;
    for (const auto& panel : dashboard["panels"].toArray()) {
        for (const auto& target : panel.toObject()["targets"].toArray()) {
            out.push_back({panel.toObject()["title"].toString().toStdString(),
                           target.toObject()["expr"].toString().toStdString()});
        }
    }
    return out;
}

QJsonObject Variable(const QJsonObject& dashboard, const QString& name) {
    for (const auto& v : dashboard["templating"].toObject()["list"].toArray()) {
        if (v.toObject()["name"].toString() == name) {
            return v.toObject();
        }
    }
    return {};
}

// The expression as Grafana sends it with the given variable values.
std::string Expand(std::string expr, const std::map<std::string, std::string>& values) {
    for (const auto& [name, value] : values) {
        for (std::size_t at; (at = expr.find("$" + name)) != std::string::npos;) {
            expr.replace(at, name.size() + 1, value);
        }
    }
    return expr;
}

std::string Encode(const std::string& text) {
    return QByteArray::fromStdString(text).toPercentEncoding().toStdString();
}

QJsonObject Api(int port, const std::string& path) {
    const auto body = ExporterHarness::HttpGet(port, path);
    return body ? QJsonDocument::fromJson(QByteArray::fromStdString(*body)).object()
                : QJsonObject();
}

} // namespace

// What a station of 300 processors needs from the dashboard before it ever opens it.
TEST(ExporterDashboard, EveryPanelFollowsStationAndProcessorAndNoneRepeatsTheFleet) {
    QByteArray text;
    const auto dashboard = Dashboard(&text);
    ASSERT_FALSE(dashboard.isEmpty());
    // Import substitutes the inputs: each must be used, or the chosen data source goes nowhere.
    for (const auto& input : dashboard["__inputs"].toArray()) {
        const QString name = "${" + input.toObject()["name"].toString() + "}";
        EXPECT_GE(text.count(name.toUtf8()), 1) << name.toStdString() << " is never referenced";
    }
    for (const auto& panel : dashboard["panels"].toArray()) {
        const auto p = panel.toObject();
        SCOPED_TRACE(p["title"].toString().toStdString());
        EXPECT_EQ(p["datasource"].toObject()["uid"].toString(), "${datasource}");
        if (p.contains("repeat")) {
            // Repeated over a choice that starts with one processor, not "All" of them.
            const auto v = Variable(dashboard, p["repeat"].toString());
            EXPECT_FALSE(v["includeAll"].toBool());
            EXPECT_TRUE(v["current"].toObject().isEmpty());
        }
    }
    for (const auto& [panel, expr] : Targets(dashboard)) {
        SCOPED_TRACE(panel + ": " + expr);
        EXPECT_NE(expr.find("station=~\"$station\""), std::string::npos);
        EXPECT_NE(expr.find("processor=~\"$processor\""), std::string::npos);
    }
    for (const char* name : {"station", "processor"}) {
        const auto v = Variable(dashboard, name);
        EXPECT_TRUE(v["includeAll"].toBool()) << name;
        EXPECT_EQ(v["allValue"].toString(), ".*") << name;
    }
}

// Every panel's expression and every variable's query, run as Grafana would against a real
// Prometheus scraping a real exporter: valid and with data.
TEST(ExporterDashboard, EveryExpressionAnswersFromARealPrometheus) {
    if (!RealPrometheus::Installed()) {
        GTEST_SKIP() << "prometheus is not installed";
    }
    ExporterHarness h("dashboard");
    auto fm = h.StartSim({"--udp", "127.0.0.1:0"});
    auto am = h.StartSim({"--udp", "127.0.0.1:0", "--seed", "9"});
    ASSERT_EQ(fm.ports.size(), 1u);
    ASSERT_EQ(am.ports.size(), 1u);
    ASSERT_TRUE(h.StartExporter({"--interval", "0.5", "--timeout", "100", "--processor",
                                 "fm=127.0.0.1:" + std::to_string(fm.ports[0]), "--processor",
                                 "am=127.0.0.1:" + std::to_string(am.ports[0])}));
    RealPrometheus prometheus(h, {}, {{"station", "main"}});
    const int port = prometheus.Port();

    const auto dashboard = Dashboard();
    // As Grafana sends them: one station, both processors chosen, the first one's meters.
    const std::map<std::string, std::string> values = {
        {"station", "main"}, {"processor", "(am|fm)"}, {"meters", "fm"}};
    std::map<std::string, std::string> last; // the last answer of each expression
    const auto answered = [&](const std::string& expr) {
        const auto json = Api(port, "/api/v1/query?query=" + Encode(Expand(expr, values)));
        last[expr] = QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
        return json["status"].toString() == "success" &&
               !json["data"].toObject()["result"].toArray().isEmpty();
    };
    const auto targets = Targets(dashboard);
    ASSERT_GE(targets.size(), 9u);
    // Rates need two scrapes in their window: wait until everything has data, then demand it.
    ExporterHarness::WaitFor(
        [&] {
            for (const auto& t : targets) {
                if (!answered(t.expr)) {
                    return false;
                }
            }
            return true;
        },
        30s);
    for (const auto& [panel, expr] : targets) {
        EXPECT_TRUE(answered(expr)) << panel << ": " << Expand(expr, values) << "\n" << last[expr];
    }

    // The variables' label_values(SELECTOR, LABEL) through the label values API.
    const QRegularExpression labelValues(R"(^label_values\((.+), (\w+)\)$)");
    const std::map<std::string, QStringList> expected = {
        {"station", {"main"}}, {"processor", {"am", "fm"}}, {"meters", {"am", "fm"}}};
    for (const auto& [name, want] : expected) {
        const auto query =
            Variable(dashboard, QString::fromStdString(name))["definition"].toString();
        const auto match = labelValues.match(query);
        ASSERT_TRUE(match.hasMatch()) << query.toStdString();
        const auto json =
            Api(port, "/api/v1/label/" + match.captured(2).toStdString() + "/values?match[]=" +
                          Encode(Expand(match.captured(1).toStdString(), values)));
        QStringList got;
        for (const auto& v : json["data"].toArray()) {
            got << v.toString();
        }
        EXPECT_EQ(got, want) << name << ": " << query.toStdString();
    }
    prometheus.Stop();
}
