#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <prometheus/client_metric.h>

#include "ctl/CLedState.h"
#include "exporter/HistoryStatus.h"

// What the exporter knows of one processor at one moment: a copy taken on the exporter's
// thread, so metrics and the status page read it without locks.
struct ProcessorStatus {
    std::string name;
    std::string link; // "udp" or "serial"
    std::string address;
    bool up = false;
    std::string cause;             // why it is down; empty while up
    std::string version;           // UTF-8, like the preset names
    std::optional<CLedState> leds; // the last LED state, while up
    int presetCount = -1;          // -1: not read yet
    std::vector<std::string> presetNames;
    std::optional<double> lastReplyAgeSeconds;  // none before the first reply
    std::optional<double> lastReplyUnixSeconds; // the same moment, seconds since the epoch
    std::uint64_t requests = 0;
    std::uint64_t retries = 0;
    std::uint64_t failures = 0;
    std::uint64_t reconnects = 0;
    prometheus::ClientMetric roundTrip;   // histogram of exchange times, seconds
    std::optional<HistoryStatus> history; // with --history

    static constexpr int kNoMarker = 0xFF;

    // The name of preset number, empty when unknown.
    [[nodiscard]] std::string PresetName(int number) const {
        return number >= 0 && number < static_cast<int>(presetNames.size())
                   ? presetNames[static_cast<std::size_t>(number)]
                   : std::string();
    }
};
