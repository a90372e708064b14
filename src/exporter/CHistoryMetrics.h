#pragma once

#include <vector>

#include <prometheus/metric_family.h>

#include "exporter/ProcessorStatus.h"

// The settings history's metrics, for the processors that have one (--history): when the
// last snapshot was taken, how many changes were committed, and how many snapshots or commits
// failed. None at all without --history.
class CHistoryMetrics {
public:
    [[nodiscard]] static std::vector<prometheus::MetricFamily>
    Collect(const std::vector<ProcessorStatus>& fleet);
};
