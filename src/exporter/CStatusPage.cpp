#include "exporter/CStatusPage.h"

#include <cstdio>

#include "exporter/CFleetMetrics.h"
#include "exporter/HistoryPage.h"

namespace {

const char* kStyle = R"(
body { background: #111; color: #ddd; font-family: "DejaVu Sans", sans-serif; margin: 1em; }
h1 { font-size: 1.4em; margin: 0 0 0.5em 0; }
p.summary { margin: 0 0 1em 0; font-size: 1.1em; }
table { border-collapse: collapse; width: 100%; font-size: 1.15em; }
th, td { padding: 0.35em 0.7em; border-bottom: 1px solid #333; text-align: left; }
th { background: #222; color: #aaa; font-weight: normal; }
td.up { color: #111; background: #3c3; font-weight: bold; }
td.down { color: #fff; background: #c22; font-weight: bold; }
td.bypass { color: #111; background: #fb2; font-weight: bold; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
tr.down td.name { color: #f88; }
.dim { color: #777; }
)";

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

} // namespace

std::string CStatusPage::Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            // Control bytes from a processor's preset name would garble the page.
            out += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
            break;
        }
    }
    return out;
}

std::string CStatusPage::PresetText(const ProcessorStatus& p) {
    if (!p.leds) {
        return {};
    }
    const int n = p.leds->current;
    std::string text = CFleetMetrics::Label(n);
    const std::string name = p.PresetName(n);
    if (!name.empty()) {
        text += " " + name;
    }
    if (p.leds->tr == n) {
        text += " (TR)";
    }
    if (p.leds->dp == n) {
        text += " (DP)";
    }
    if (p.leds->def == n) {
        text += " (DEF)";
    }
    return text;
}

std::string CStatusPage::Html(const std::vector<ProcessorStatus>& fleet) {
    int up = 0;
    int bypassed = 0;
    for (const auto& p : fleet) {
        up += p.up ? 1 : 0;
        bypassed += (p.leds && p.leds->bypass != 0) ? 1 : 0;
    }
    std::string html;
    html.reserve(512 + fleet.size() * 400);
    html += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"refresh\" content=\"" +
            std::to_string(kRefreshSeconds) + "\">\n<title>Solvei fleet</title>\n<style>" + kStyle +
            "</style></head>\n<body>\n";
    html += "<h1>Solvei fleet</h1>\n<p class=\"summary\" id=\"summary\">" + std::to_string(up) +
            " of " + std::to_string(fleet.size()) + " up, " + std::to_string(bypassed) +
            " bypassed &middot; <a href=\"/metrics\" style=\"color:#8af\">metrics</a></p>\n";
    html += "<table id=\"fleet\">\n<tr><th>Processor</th><th>Up</th><th>Version</th>"
            "<th>Bypass</th><th>Preset on air</th><th>Meter view</th>"
            "<th>Last reply</th></tr>\n";
    for (const auto& p : fleet) {
        html += std::string("<tr class=\"") + (p.up ? "up" : "down") + "\" data-processor=\"" +
                Escape(p.name) + "\">";
        html += "<td class=\"name\">" + Escape(p.name) + " <span class=\"dim\">" +
                Escape(p.address) + "</span></td>";
        if (p.up) {
            html += "<td class=\"up\">UP</td>";
        } else {
            html += "<td class=\"down\">DOWN <span>" + Escape(p.cause) + "</span></td>";
        }
        html += "<td>" + Escape(p.version) + "</td>";
        if (!p.leds) {
            html += "<td class=\"dim\">&ndash;</td><td class=\"dim\">&ndash;</td>"
                    "<td class=\"dim\">&ndash;</td>";
        } else {
            html += p.leds->bypass != 0 ? "<td class=\"bypass\">BYPASS</td>" : "<td>on air</td>";
            html += "<td>" + Escape(PresetText(p)) + "</td>";
            html += std::string("<td>") + (p.leds->view != 0 ? "I/O" : "AGC") + "</td>";
        }
        html += "<td class=\"num\">" +
                (p.lastReplyAgeSeconds ? Seconds(*p.lastReplyAgeSeconds) + " s" : "never") +
                "</td></tr>\n";
    }
    html += "</table>\n";
    html += HistoryPage::Section(fleet);
    html += "</body></html>\n";
    return html;
}
