#include "exporter/CHistoryMetrics.h"

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily Family(const char* name, const char* help, MetricType type) {
    MetricFamily family;
    family.name = name;
    family.help = help;
    family.type = type;
    return family;
}

void Add(MetricFamily& family, const std::string& processor, double value,
         std::vector<ClientMetric::Label> extra = {}) {
    ClientMetric& metric = family.metric.emplace_back();
    metric.label.push_back({"processor", processor});
    for (auto& label : extra) {
        metric.label.push_back(std::move(label));
    }
    if (family.type == MetricType::Counter) {
        metric.counter.value = value;
    } else {
        metric.gauge.value = value;
    }
}

} // namespace

std::vector<MetricFamily> CHistoryMetrics::Collect(const std::vector<ProcessorStatus>& fleet) {
    auto last = Family("solvei_history_last_snapshot_timestamp_seconds",
                       "When the processor's settings were last read for the history, seconds "
                       "since the epoch; absent before the first snapshot.",
                       MetricType::Gauge);
    auto changes = Family("solvei_history_changes_total",
                          "Changes of the processor's settings committed to the history (its "
                          "first snapshot is no change).",
                          MetricType::Counter);
    auto failures = Family("solvei_history_failures_total",
                           "Snapshots that could not be taken (stage snapshot) or kept in the "
                           "repository (stage store); both are tried again.",
                           MetricType::Counter);
    bool any = false;
    for (const auto& p : fleet) {
        if (!p.history) {
            continue;
        }
        any = true;
        const HistoryStatus& h = *p.history;
        if (h.lastSnapshotUnixSeconds) {
            Add(last, p.name, *h.lastSnapshotUnixSeconds);
        }
        Add(changes, p.name, static_cast<double>(h.changes));
        Add(failures, p.name, static_cast<double>(h.snapshotFailures), {{"stage", "snapshot"}});
        Add(failures, p.name, static_cast<double>(h.storeFailures), {{"stage", "store"}});
    }
    if (!any) {
        return {};
    }
    std::vector<MetricFamily> out;
    if (!last.metric.empty()) {
        out.push_back(std::move(last));
    }
    out.push_back(std::move(changes));
    out.push_back(std::move(failures));
    return out;
}
