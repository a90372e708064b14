#pragma once

#include <functional>
#include <string>
#include <vector>

#include "snapshot/CSnapshotTaker.h"
#include "snapshot/ISnapshotLink.h"
#include "snapshot/Snapshot.h"

// Brings a processor back to a snapshot: writes only the parameters that differ, then sends
// only the user presets that differ, then reads everything back and names whatever the
// processor did not keep. Live readings (the clock), factory presets, the current preset,
// bypass and the meter view are not written: they are the processor's, or the operator's on
// air, not its settings.
class CSnapshotRestorer {
public:
    enum class Scope { Everything, ParametersOnly, PresetsOnly };

    struct Write {
        SnapshotParameter target; // the value to write, as the snapshot shows it
        std::string now;          // what the processor shows now
    };
    struct Send {
        SnapshotPreset target;
        std::string now; // the preset's name now
    };
    struct Plan {
        std::vector<Write> writes;
        std::vector<Send> sends;
        std::vector<SnapshotParameter> missing; // in the snapshot, not on this processor
        [[nodiscard]] bool Empty() const {
            return writes.empty() && sends.empty() && missing.empty();
        }
        // One line each: "write AGC > AGC Drive (0 0 0): 7.0 dB -> 5.0 dB",
        // "send U3: \"NEWS 2\" -> \"NEWS\"", "cannot write X (a b c): not on this processor".
        [[nodiscard]] std::vector<std::string> Lines() const;
    };
    struct Outcome {
        ISnapshotLink::Result result = ISnapshotLink::Result::Ok;
        std::string failedStep;
        std::vector<std::string> notKept; // one line each; empty when all was kept
        Snapshot after;                   // the processor as read back
    };
    using Progress = CSnapshotTaker::Progress;

    [[nodiscard]] static Plan MakePlan(const Snapshot& target, const Snapshot& live, Scope scope);

    CSnapshotRestorer(ISnapshotLink& link, Progress progress = nullptr);

    Outcome Apply(const Snapshot& target, const Plan& plan, Scope scope,
                  const SnapshotOrigin& origin);

private:
    ISnapshotLink& m_link;
    Progress m_progress;
};
