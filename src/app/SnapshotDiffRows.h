#pragma once

#include <string>
#include <vector>

#include "snapshot/Snapshot.h"

// The differences between a snapshot ("then") and the live processor ("now") as the history
// view shows them: one row each, the page path and caption (or what differs), then and now.
// Parameters first, in page order, then the processor's state and the presets.
struct SnapshotDiffRow {
    std::string what;
    std::string then;
    std::string now;

    friend bool operator==(const SnapshotDiffRow&, const SnapshotDiffRow&) = default;
};

[[nodiscard]] std::vector<SnapshotDiffRow> SnapshotDiffRows(const Snapshot& then,
                                                            const Snapshot& now);
