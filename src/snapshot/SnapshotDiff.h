#pragma once

#include <string>
#include <vector>

#include "snapshot/Snapshot.h"

// Compares two snapshots by meaning, one line a difference, in this order: the processor
// (type, version, description), its state (current preset, markers, bypass, meter view), the
// parameters ("AGC > AGC Drive: 5.0 dB -> 7.0 dB"), the presets (renamed, data differ).
// Parameters are matched by address, so snapshots of other firmware compare too; those on
// one side only are named. Live readings (the clock) are not compared.
class SnapshotDiff {
public:
    // nameA and nameB: how the lines call the two sides ("before.json", "live").
    [[nodiscard]] static std::vector<std::string> Compare(const Snapshot& a, const Snapshot& b,
                                                          const std::string& nameA,
                                                          const std::string& nameB);

    // "AGC > AGC Drive", or the caption alone for a parameter outside any page.
    [[nodiscard]] static std::string Label(const SnapshotParameter& p);
    // "F1", or "-" for a marker that names no preset.
    [[nodiscard]] static std::string PresetText(std::uint8_t number);
    // True when two presets' data differ beyond their names.
    [[nodiscard]] static bool DataDiffer(const ByteString& a, const ByteString& b);
};
