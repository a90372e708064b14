#pragma once

#include <cstdint>
#include <string>

#include "link/ByteString.h"

// The link requests the preset bookkeeping makes. The main window adapts its link engine to
// it (CPresetEngineLink); tests record the calls.
class IPresetLink {
public:
    virtual ~IPresetLink() = default;
    virtual void GetFactoryPresetNumber() = 0;
    virtual void GetPreset(std::uint8_t preset) = 0;
    virtual void SendPreset(std::uint8_t preset, const ByteString& data) = 0;
    virtual void LoadPreset(std::uint8_t preset) = 0;
    virtual void SavePreset(std::uint8_t preset) = 0;
    // The link cuts name to 15 bytes or fills it with zero bytes to 15.
    virtual void RenamePreset(std::uint8_t preset, const std::string& name) = 0;
    // Periodic LED-state polling on or off.
    virtual void SetPolling(bool on) = 0;
};
