#pragma once

#include <cstdint>
#include <string>

#include "link/ByteString.h"

// What the LED-state handling drives on the main window.
class ILedView {
public:
    virtual ~ILedView() = default;

    // Pending visibility work of the parameter model (page tree and current page rebuilds).
    virtual void RunVisibilityWork() = 0;
    // Enables AGC and IO and shows the meter view: io latches IO, else AGC, with the LED
    // panel's background to match.
    virtual void ShowMeterView(bool io) = 0;
    // Latches Bypass (bypassed) or Online (not bypassed) and releases the other.
    virtual void ShowBypass(bool bypassed) = 0;
    virtual void SetLedData(const ByteString& reply) = 0;
    virtual void SetCompareKeysEnabled(bool enabled) = 0;
    // Latches A (compare false) or B (compare true) and releases the other.
    virtual void ShowCompareSide(bool compare) = 0;
    virtual void ReleaseCompareKeys() = 0;
    virtual void SetCompareMode(bool compare) = 0;
    virtual void SetPresetMarkers(std::uint8_t tr, std::uint8_t dp, std::uint8_t def,
                                  std::uint8_t current, std::uint8_t change) = 0;
    virtual void Log(const std::string& line) = 0;
    // The processor put another preset on air that this remote did not load (its daypart or
    // trigger preset, the front panel, another remote): the page must be read again.
    virtual void OnPresetLoadedElsewhere(std::uint8_t preset) = 0;
};
