#pragma once

#include <functional>
#include <string>

#include "snapshot/ISnapshotLink.h"
#include "snapshot/Snapshot.h"

// Takes a snapshot over one link: version, control description, every parameter the
// description names, every preset, and the LED state's markers, current preset, bypass and
// meter view. It only reads: nothing is written to the processor.
class CSnapshotTaker {
public:
    struct Outcome {
        ISnapshotLink::Result result = ISnapshotLink::Result::Ok;
        std::string failedStep; // the request that failed, as the link names it ("Get Config")
    };
    // Told as the work goes on: what is being read, how many of how many are done.
    using Progress = std::function<void(const std::string& what, int done, int total)>;

    explicit CSnapshotTaker(ISnapshotLink& link, Progress progress = nullptr);

    // origin is copied into the snapshot as it is.
    Outcome Take(const SnapshotOrigin& origin, Snapshot& out);

private:
    Outcome ReadPresets(Snapshot& out, std::vector<std::string>& names);

    ISnapshotLink& m_link;
    Progress m_progress;
};
