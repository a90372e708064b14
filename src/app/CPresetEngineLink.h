#pragma once

#include "app/IPresetLink.h"

class CLinkEngine;

// The preset requests, made on the main window's link engine.
class CPresetEngineLink : public IPresetLink {
public:
    explicit CPresetEngineLink(CLinkEngine& engine) : engine_(engine) {}

    void GetFactoryPresetNumber() override;
    void GetPreset(std::uint8_t preset) override;
    void SendPreset(std::uint8_t preset, const ByteString& data) override;
    void LoadPreset(std::uint8_t preset) override;
    void SavePreset(std::uint8_t preset) override;
    void RenamePreset(std::uint8_t preset, const std::string& name) override;
    void SetPolling(bool on) override;

private:
    CLinkEngine& engine_;
};
