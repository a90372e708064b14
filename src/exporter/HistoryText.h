#pragma once

#include <string>
#include <vector>

#include "snapshot/Snapshot.h"

// The texts of the settings history: the folder a processor's files live in, the plain-text
// rendering of a snapshot that reads well in a line diff, and the commit message made from the
// differences between two snapshots.
namespace HistoryText {

// A commit's first line stays within this many characters (git's tools show about 72).
constexpr std::size_t kSubjectLimit = 100;

// The processor's name as a folder: names are letters, digits, '-', '_' and '.', so only a
// leading '.' or '_' is changed ("_" put in front), which keeps ".git", "." and ".." out and
// two names never share a folder.
[[nodiscard]] std::string FolderName(const std::string& name);

// One "path = value" line per parameter (live readings such as the clock left out, as they
// change without anyone touching the processor), the preset on air, the markers and bypass,
// then one line per preset with its name and, for user presets, its data's SHA-256.
[[nodiscard]] std::string ParametersText(const Snapshot& snapshot);

// The differences from before to now that the history records: every difference the
// snapshots show but the meter view, which is where the operator looks, not a setting.
[[nodiscard]] std::vector<std::string> Changes(const Snapshot& before, const Snapshot& now);

struct Message {
    std::string subject; // one line
    std::string body;    // every change on a line of its own, then where it came from
};
// changes empty: the first snapshot of the processor.
[[nodiscard]] Message CommitMessage(const std::string& processor, const Snapshot& now,
                                    const std::vector<std::string>& changes);

} // namespace HistoryText
