#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the settings history knows of one processor, copied out for the metrics and the page.
struct HistoryStatus {
    std::optional<double> lastSnapshotUnixSeconds; // the last snapshot taken whole
    std::uint64_t changes = 0;          // commits of a change (the first snapshot is none)
    std::uint64_t snapshotFailures = 0; // snapshots that could not be taken
    std::uint64_t storeFailures = 0;    // snapshots that could not be written or committed
    std::optional<double> lastChangeUnixSeconds;
    std::string lastChangeSubject;
    std::vector<std::string> lastChangeLines;
    std::string lastCommit;
    std::string problem; // the last failure, empty once a snapshot was stored after it
};
