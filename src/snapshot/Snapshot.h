#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "description/ParamAddress.h"
#include "link/ByteString.h"

// One parameter as the snapshot keeps it: the raw address and byte, and beside them where the
// operator finds it and what the page shows (texts in UTF-8).
struct SnapshotParameter {
    ParamAddress address;
    std::string path;    // the page path: page names joined by " > "
    std::string caption; // the item's name, without one leading "*"
    std::uint8_t value = 0;
    std::string shown; // the value as the page shows it, unit included
    // A live reading (the processor's clock): recorded, but never compared or restored.
    bool live = false;

    friend bool operator==(const SnapshotParameter&, const SnapshotParameter&) = default;
};

// One preset: every preset's name; the data only of the user presets (factory presets cannot
// be written back, so their data would only weigh).
struct SnapshotPreset {
    int number = 0;
    std::string name; // UTF-8
    ByteString data;  // as Get Preset delivered it; empty for factory presets

    friend bool operator==(const SnapshotPreset&, const SnapshotPreset&) = default;
};

// When, by what and of which processor the snapshot was taken.
struct SnapshotOrigin {
    std::string at; // UTC, ISO 8601 ("2026-12-11T01:30:00Z")
    std::string program;
    std::string user;
    std::string host;
    std::string processor; // the connection: HOST:PORT or the serial port

    friend bool operator==(const SnapshotOrigin&, const SnapshotOrigin&) = default;
};

// Everything that makes up a processor's settings at one moment, and the control description
// that explains them, so a snapshot can be read without the processor.
struct Snapshot {
    static constexpr std::uint8_t kNoPreset = 0xFF; // a marker that names no preset
    static constexpr int kUserPresets = 8;

    SnapshotOrigin origin;
    std::string version; // the processor's version text, UTF-8
    int type = 0;        // the description's first byte
    ByteString description;
    std::vector<SnapshotParameter> parameters; // in page order, each address once
    int presetCount = 0;
    std::vector<SnapshotPreset> presets; // 0 .. presetCount - 1
    // From the LED state.
    std::uint8_t current = 0;
    std::uint8_t tr = kNoPreset;
    std::uint8_t dp = kNoPreset;
    std::uint8_t def = kNoPreset;
    bool bypass = false;
    bool ioView = false; // meter view: false AGC, true input/output

    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};
