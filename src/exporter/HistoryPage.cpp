#include "exporter/HistoryPage.h"

#include <ctime>

#include "exporter/CStatusPage.h"

namespace HistoryPage {

namespace {

std::string LocalTime(double unixSeconds) {
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace

std::string Section(const std::vector<ProcessorStatus>& fleet) {
    bool any = false;
    for (const auto& p : fleet) {
        any = any || p.history.has_value();
    }
    if (!any) {
        return {};
    }
    const auto& e = CStatusPage::Escape;
    std::string html =
        "<h2 style=\"font-size:1.2em;margin:1.2em 0 0.5em 0\">Settings history</h2>\n"
        "<table id=\"history\">\n<tr><th>Processor</th><th>Last snapshot</th>"
        "<th>Last change</th><th>What changed</th></tr>\n";
    for (const auto& p : fleet) {
        if (!p.history) {
            continue;
        }
        const HistoryStatus& h = *p.history;
        html +=
            "<tr data-processor=\"" + e(p.name) + "\"><td class=\"name\">" + e(p.name) + "</td>";
        html += "<td>" +
                (h.lastSnapshotUnixSeconds ? LocalTime(*h.lastSnapshotUnixSeconds)
                                           : std::string("<span class=\"dim\">none yet</span>")) +
                "</td>";
        if (h.lastChangeUnixSeconds) {
            html += "<td>" + LocalTime(*h.lastChangeUnixSeconds) + " <span class=\"dim\">" +
                    e(h.lastCommit.substr(0, 12)) +
                    "</span></td><td><ul style=\"margin:0;"
                    "padding-left:1.2em\">";
            for (const auto& line : h.lastChangeLines) {
                html += "<li>" + e(line) + "</li>";
            }
            html += "</ul></td>";
        } else {
            html += "<td class=\"dim\">none since the exporter started</td><td></td>";
        }
        html += "</tr>\n";
        if (!h.problem.empty()) {
            html += "<tr class=\"down\"><td></td><td colspan=\"3\" class=\"problem\" "
                    "style=\"color:#f88\">" +
                    e(h.problem) + "</td></tr>\n";
        }
    }
    html += "</table>\n";
    return html;
}

} // namespace HistoryPage
