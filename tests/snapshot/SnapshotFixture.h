#pragma once

#include <string>

#include <gtest/gtest.h>

#include "description/DescriptionEncoder.h"
#include "snapshot/SnapshotCatalog.h"
#include "snapshot/Snapshot.h"

// A small description with every kind the catalog meets: a numeric slider, an enumeration,
// a preset-name choice, a clock field, a nested page and an address named twice.
inline const char* kSnapshotDescription = R"({"type": 3, "records": [
  {"group": "AGC", "children": [
    {"style": 0, "box": {"width": 8, "height": 30, "left": 2, "top": 4},
     "items": [{"kind": 0, "address": [0, 0, 0], "name": "AGC Drive", "unit": "dB",
                "span": 40, "minimum": -100, "step": 5, "format": 16}]},
    {"style": 1, "box": {"width": 26, "height": 9, "left": 22, "top": 5},
     "items": [{"kind": 1, "address": [0, 0, 1], "name": "AGC Release", "unit": "",
                "entries": ["Slow", "Medium", "Fast"]}]},
    {"group": "Bands", "children": [
      {"style": 0, "box": {"width": 8, "height": 30, "left": 2, "top": 4},
       "items": [{"kind": 0, "address": [0, 1, 0], "name": "Low Band", "unit": "dB",
                  "span": 48, "minimum": -120, "step": 5, "format": 16}]}]}]},
  {"style": 0, "box": {"width": 8, "height": 30, "left": 2, "top": 4},
   "items": [{"kind": 0, "address": [0, 3, 0], "name": "*Stereo Enhance", "unit": "%",
              "span": 10, "minimum": 0, "step": 10, "format": 0}]},
  {"group": "System", "children": [
    {"style": 2, "box": {"width": 20, "height": 4, "left": 2, "top": 5},
     "items": [{"kind": 2, "address": [1, 2, 0], "name": "Power-on Preset", "unit": ""}]},
    {"style": 0, "box": {"width": 8, "height": 30, "left": 2, "top": 4},
     "items": [{"kind": 0, "address": [0, 0, 0], "name": "AGC Drive again", "unit": "dB",
                "span": 40, "minimum": -100, "step": 5, "format": 16}]},
    {"style": 2, "box": {"width": 20, "height": 4, "left": 2, "top": 12},
     "items": [{"kind": 0, "address": [5, 0, 0], "name": "Time of Day", "unit": "h",
                "span": 23, "minimum": 0, "step": 1, "format": 2}]}]}
]})";

inline ByteString SnapshotDescriptionBytes(const char* json = kSnapshotDescription) {
    std::string error;
    auto bytes = DescriptionEncoder::Encode(json, error);
    EXPECT_TRUE(bytes.has_value()) << error;
    return bytes.value_or(ByteString{});
}

// A preset's wire data: the name in the first 15 bytes, then some bytes, padded to 128.
inline ByteString PresetData(const std::string& name, std::uint8_t fill) {
    ByteString data(128, 0);
    std::copy(name.begin(), name.end(), data.begin());
    for (std::size_t i = 17; i < 40; ++i) {
        data[i] = fill;
    }
    return data;
}

// A whole snapshot of the fixture description: values by catalog entry, 10 presets.
inline Snapshot MakeSnapshot(const std::vector<std::uint8_t>& values = {30, 0, 12, 3, 9, 1}) {
    Snapshot s;
    s.origin = {"2026-12-11T01:30:00Z", "solvei-ctl 0.1.0", "eng", "studio", "127.0.0.1:1203"};
    s.version = "123";
    s.description = SnapshotDescriptionBytes();
    s.type = s.description.at(0);
    s.presetCount = 10;
    std::vector<std::string> names;
    for (int n = 0; n < s.presetCount; ++n) {
        const std::string name =
            n < 8 ? "USER " + std::to_string(n + 1) : "FACTORY " + std::to_string(n);
        names.push_back(name);
        s.presets.push_back({n, name, n < 8 ? PresetData(name, std::uint8_t(n)) : ByteString{}});
    }
    s.parameters = SnapshotCatalog(s.description).Parameters(values, names);
    s.current = 8;
    s.def = 8;
    s.bypass = false;
    return s;
}
