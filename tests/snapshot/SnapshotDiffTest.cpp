#include <gtest/gtest.h>

#include "snapshot/CSnapshotRestorer.h"
#include "snapshot/SnapshotDiff.h"
#include "snapshot/SnapshotFixture.h"

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The fixture under another firmware: Low Band gone, Bass Boost new, Stereo Enhance in steps
// of 5 instead of 10.
Snapshot OtherFirmware(const std::vector<std::uint8_t>& values = {30, 0, 12, 3, 9, 1}) {
    std::string json = kSnapshotDescription;
    json = Replace(json, R"("address": [0, 1, 0], "name": "Low Band")",
                   R"("address": [0, 4, 0], "name": "Bass Boost")");
    json = Replace(json, R"("span": 10, "minimum": 0, "step": 10)",
                   R"("span": 20, "minimum": 0, "step": 5)");
    Snapshot s = MakeSnapshot();
    s.version = "124";
    s.description = SnapshotDescriptionBytes(json.c_str());
    std::vector<std::string> names;
    for (const auto& p : s.presets) {
        names.push_back(p.name);
    }
    s.parameters = SnapshotCatalog(s.description).Parameters(values, names);
    return s;
}

TEST(SnapshotDiffTest, TheSameSnapshotHasNoDifferencesAndTheClockIsNoDifference) {
    const Snapshot a = MakeSnapshot();
    Snapshot b = MakeSnapshot({30, 0, 12, 3, 9, 17}); // only the clock moved
    b.origin.at = "2026-12-11T02:00:00Z";
    EXPECT_TRUE(SnapshotDiff::Compare(a, b, "a", "b").empty());
}

TEST(SnapshotDiffTest, EveryKindOfChangeOneLineInOrder) {
    const Snapshot a = MakeSnapshot();
    Snapshot b = MakeSnapshot({34, 2, 12, 3, 1, 1});
    b.current = 2;
    b.def = Snapshot::kNoPreset;
    b.tr = 0;
    b.bypass = true;
    b.ioView = true;
    b.presets[2].data = PresetData("NEWS 2", 2);
    b.presets[2].name = "NEWS 2";
    b.presets[3].data = PresetData("USER 4", 77);
    b.presets[4].data = PresetData("TALK", 77);
    b.presets[4].name = "TALK";
    const std::vector<std::string> expected = {
        "current preset: F1 -> U3",
        "DEF marker: F1 -> -",
        "TR marker: - -> U1",
        "bypass: off -> on",
        "meter view: AGC -> input/output",
        "AGC > AGC Drive: 5.0 dB -> 7.0 dB",
        "AGC > AGC Release: Slow -> Fast",
        "System > Power-on Preset: FACTORY 8 -> USER 1",
        "U3: renamed \"USER 3\" -> \"NEWS 2\"",
        "U4 \"USER 4\": data differ",
        "U5: renamed \"USER 5\" -> \"TALK\", data differ",
    };
    EXPECT_EQ(SnapshotDiff::Compare(a, b, "a", "b"), expected);
}

TEST(SnapshotDiffTest, AnotherDescriptionIsMatchedByAddressAndNamesWhatOneSideLacks) {
    const Snapshot a = MakeSnapshot();
    Snapshot b = OtherFirmware();
    b.presetCount = 9;
    b.presets.pop_back();
    const std::vector<std::string> expected = {
        "version: 123 -> 124",
        "control description: differs; parameters are matched by address",
        "AGC > Bands > Low Band (0 1 0): only in old.json (-6.0 dB)",
        "STEREO ENHANCE > Stereo Enhance: 30 % -> 15 %", // the same byte means less now
        "AGC > Bands > Bass Boost (0 4 0): only in live (-6.0 dB)",
        "F2 \"FACTORY 9\": only in old.json",
    };
    EXPECT_EQ(SnapshotDiff::Compare(a, b, "old.json", "live"), expected);
}

TEST(SnapshotRestorerTest, PlanWritesOnlyDifferencesAndSendsOnlyDifferingUserPresets) {
    const Snapshot target = MakeSnapshot();
    // AGC Drive differs; the clock differs but is never written; Stereo Enhance has the same
    // byte (it shows otherwise under this firmware, but the byte is what is written).
    Snapshot live = OtherFirmware({34, 0, 12, 3, 9, 23});
    live.presets[1].data = PresetData("X", 1); // a user preset differs
    live.presets[1].name = "X";
    live.presets[9].name = "OTHER"; // a factory preset differs: never sent
    const auto plan =
        CSnapshotRestorer::MakePlan(target, live, CSnapshotRestorer::Scope::Everything);
    const std::vector<std::string> expected = {
        "write AGC > AGC Drive (0 0 0): 7.0 dB -> 5.0 dB",
        "cannot write AGC > Bands > Low Band (0 1 0): not on this processor",
        "send U2: \"X\" -> \"USER 2\"",
    };
    EXPECT_EQ(plan.Lines(), expected);
    EXPECT_TRUE(CSnapshotRestorer::MakePlan(target, live, CSnapshotRestorer::Scope::PresetsOnly)
                    .writes.empty());
    EXPECT_TRUE(CSnapshotRestorer::MakePlan(target, live, CSnapshotRestorer::Scope::ParametersOnly)
                    .sends.empty());
}

} // namespace
