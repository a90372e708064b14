#include "exporter/CFleetMetrics.h"

#include <algorithm>
#include <sstream>

#include <prometheus/text_serializer.h>

#include "ctl/PresetLabel.h"

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

class FamilyBuilder {
public:
    FamilyBuilder(std::vector<MetricFamily>& out, const char* name, const char* help,
                  MetricType type)
        : m_out(out), m_index(out.size()) {
        MetricFamily& family = out.emplace_back();
        family.name = std::string("solvei_") + name;
        family.help = help;
        family.type = type;
    }

    void Add(const ProcessorStatus& p, double value, std::vector<ClientMetric::Label> extra = {}) {
        ClientMetric& metric = Family().metric.emplace_back();
        metric.label.push_back({"processor", p.name});
        for (auto& label : extra) {
            metric.label.push_back(std::move(label));
        }
        switch (Family().type) {
        case MetricType::Counter:
            metric.counter.value = value;
            break;
        default:
            metric.gauge.value = value;
            break;
        }
    }

    void AddHistogram(const ProcessorStatus& p, const ClientMetric& histogram) {
        ClientMetric& metric = Family().metric.emplace_back(histogram);
        metric.label.insert(metric.label.begin(), {"processor", p.name});
    }

private:
    // By index: later families may move the vector's storage.
    MetricFamily& Family() { return m_out[m_index]; }

    std::vector<MetricFamily>& m_out;
    std::size_t m_index;
};

double Ratio(int segments) {
    return std::clamp(segments, 0, CFleetMetrics::kMeterSegments) /
           static_cast<double>(CFleetMetrics::kMeterSegments);
}

double Marker(int number) {
    return number == ProcessorStatus::kNoMarker ? -1.0 : number;
}

} // namespace

std::string CFleetMetrics::Label(int number) {
    return PresetLabel(number) + ":";
}

std::vector<MetricFamily> CFleetMetrics::Collect(const std::vector<ProcessorStatus>& fleet) {
    std::vector<MetricFamily> out;
    using T = MetricType;
    FamilyBuilder up(out, "up", "1 while the processor answers on its link, 0 while it is down.",
                     T::Gauge);
    FamilyBuilder info(out, "info",
                       "The processor's link type, address and (once read) version; always 1.",
                       T::Gauge);
    FamilyBuilder down(out, "down_info", "Why the processor is down, while it is; always 1.",
                       T::Gauge);
    FamilyBuilder bypass(out, "bypass", "1 while the processor is bypassed.", T::Gauge);
    FamilyBuilder current(out, "preset_current", "Number of the preset on air (0 is U1:).",
                          T::Gauge);
    FamilyBuilder presetInfo(out, "preset_info", "Every preset with its label and name; always 1.",
                             T::Gauge);
    FamilyBuilder onAir(out, "preset_on_air_info",
                        "The preset on air with its number, label and name; always 1.", T::Gauge);
    FamilyBuilder marker(out, "preset_marker",
                         "Preset number each marker (tr, dp, def) points at; -1 when unset.",
                         T::Gauge);
    FamilyBuilder compare(out, "compare_side",
                          "Compare side playing: 0 side A (the preset as saved), 1 side B.",
                          T::Gauge);
    FamilyBuilder edits(out, "edits_pending",
                        "1 while the on-air preset has unsaved edits (compare available).",
                        T::Gauge);
    FamilyBuilder view(out, "meter_view", "Meter view: 0 AGC, 1 input/output.", T::Gauge);
    FamilyBuilder level(out, "meter_level_ratio", "Lit part of each meter row, 0 to 1.", T::Gauge);
    FamilyBuilder peak(out, "meter_peak_ratio", "Peak mark of each meter row, 0 to 1 (0: no mark).",
                       T::Gauge);
    FamilyBuilder lastReply(out, "last_reply_timestamp_seconds",
                            "When the processor last answered a request, seconds since the epoch.",
                            T::Gauge);
    FamilyBuilder requests(out, "link_requests_total", "Requests sent, repetitions not counted.",
                           T::Counter);
    FamilyBuilder retries(out, "link_retries_total",
                          "Repetitions after a refused, garbled or missing reply.", T::Counter);
    FamilyBuilder failures(out, "link_failures_total",
                           "Times the link gave up after its tries or its channel failed.",
                           T::Counter);
    FamilyBuilder reconnects(out, "reconnects_total", "Connection attempts after the first.",
                             T::Counter);
    FamilyBuilder roundTrip(out, "link_round_trip_seconds",
                            "Time from sending a request to its accepted reply.", T::Histogram);

    for (const auto& p : fleet) {
        up.Add(p, p.up ? 1 : 0);
        // Always there, so an alert on a processor never reached can still name its address.
        std::vector<ClientMetric::Label> infoLabels = {{"type", p.link}, {"address", p.address}};
        if (!p.version.empty()) {
            infoLabels.push_back({"version", p.version});
        }
        info.Add(p, 1, std::move(infoLabels));
        if (!p.up) {
            down.Add(p, 1, {{"cause", p.cause.empty() ? "unknown" : p.cause}});
        }
        if (p.lastReplyUnixSeconds) {
            lastReply.Add(p, *p.lastReplyUnixSeconds);
        }
        requests.Add(p, static_cast<double>(p.requests));
        retries.Add(p, static_cast<double>(p.retries));
        failures.Add(p, static_cast<double>(p.failures));
        reconnects.Add(p, static_cast<double>(p.reconnects));
        roundTrip.AddHistogram(p, p.roundTrip);
        if (!p.up || !p.leds) {
            continue;
        }
        const CLedState& leds = *p.leds;
        bypass.Add(p, leds.bypass != 0 ? 1 : 0);
        current.Add(p, leds.current);
        const auto presetLabels = [&](int n) -> std::vector<ClientMetric::Label> {
            return {{"number", std::to_string(n)}, {"label", Label(n)}, {"name", p.PresetName(n)}};
        };
        for (int n = 0; n < p.presetCount; ++n) {
            presetInfo.Add(p, 1, presetLabels(n));
        }
        onAir.Add(p, 1, presetLabels(leds.current));
        marker.Add(p, Marker(leds.tr), {{"marker", "tr"}});
        marker.Add(p, Marker(leds.dp), {{"marker", "dp"}});
        marker.Add(p, Marker(leds.def), {{"marker", "def"}});
        compare.Add(p, leds.compare ? 1 : 0);
        edits.Add(p, leds.change ? 1 : 0);
        view.Add(p, leds.view != 0 ? 1 : 0);
        for (std::size_t r = 0; r < leds.rows.size(); ++r) {
            level.Add(p, Ratio(leds.rows[r].lit), {{"row", std::to_string(r)}});
            peak.Add(p, Ratio(leds.rows[r].peak), {{"row", std::to_string(r)}});
        }
    }
    return out;
}

std::string CFleetMetrics::Text(std::vector<MetricFamily> families, double scrapeSeconds) {
    MetricFamily& own = families.emplace_back();
    own.name = "solvei_exporter_scrape_duration_seconds";
    own.help = "Time the exporter took to gather this scrape.";
    own.type = MetricType::Gauge;
    own.metric.emplace_back().gauge.value = scrapeSeconds;
    std::ostringstream text;
    prometheus::TextSerializer().Serialize(text, families);
    return text.str();
}
