#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include <prometheus/metric_family.h>

// The exporter's own process under the names Prometheus's client libraries give it
// (process_open_fds, process_resident_memory_bytes, ...), read from /proc on every scrape so
// the exporter's health shows beside the fleet's.
class CProcessMetrics {
public:
    // The fields of /proc/<pid>/stat the metrics need, in the kernel's units.
    struct Stat {
        double cpuTicks = 0;   // user plus system time, clock ticks
        long threads = 0;      // threads of the process
        double startTicks = 0; // start, clock ticks after boot
        double virtualBytes = 0;
        double residentPages = 0;
    };

    [[nodiscard]] static std::vector<prometheus::MetricFamily> Collect();

    // The fields of a /proc/<pid>/stat line; none when it is not one.
    [[nodiscard]] static std::optional<Stat> ParseStat(std::string_view text);
    // The "btime" of /proc/stat: boot time, seconds since the epoch; none when absent.
    [[nodiscard]] static std::optional<double> ParseBootTime(std::string_view text);
};
