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

    // The parameters and the LED state only: the description, the presets and their names
    // are those of previous, a snapshot of the same processor. A processor whose version
    // differs from previous's may carry another description and is read whole, as Take does.
    Outcome TakeParameters(const SnapshotOrigin& origin, const Snapshot& previous, Snapshot& out);

private:
    Outcome ReadParameters(Snapshot& out, const std::vector<std::string>& names);
    Outcome ReadLedState(Snapshot& out);
    Outcome ReadPresets(Snapshot& out, std::vector<std::string>& names);

    ISnapshotLink& m_link;
    Progress m_progress;
};
