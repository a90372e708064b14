#pragma once

#include <string>
#include <vector>

#include <prometheus/metric_family.h>

#include "exporter/ProcessorStatus.h"

// Turns the fleet's status into Prometheus metric families: prefix "solvei_", label
// "processor", base units, no timestamps. State that only a live processor has (bypass,
// presets, meters) is left out while it is down rather than repeated stale.
class CFleetMetrics {
public:
    static constexpr int kMeterSegments = 32; // a full-scale meter row

    [[nodiscard]] static std::vector<prometheus::MetricFamily>
    Collect(const std::vector<ProcessorStatus>& fleet);

    // The families in the text exposition format, with the exporter's own scrape time added.
    [[nodiscard]] static std::string Text(std::vector<prometheus::MetricFamily> families,
                                          double scrapeSeconds);

    // "U3:" for preset 2, "F1:" for preset 8.
    [[nodiscard]] static std::string Label(int number);
};
