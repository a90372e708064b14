#include "app/CPresetEngineLink.h"

#include "link/CLinkEngine.h"

void CPresetEngineLink::GetFactoryPresetNumber() {
    engine_.GetFactoryPresetNumber();
}

void CPresetEngineLink::GetPreset(std::uint8_t preset) {
    engine_.GetPreset(preset);
}

void CPresetEngineLink::SendPreset(std::uint8_t preset, const ByteString& data) {
    engine_.SendPreset(preset, data);
}

void CPresetEngineLink::LoadPreset(std::uint8_t preset) {
    engine_.LoadPreset(preset);
}

void CPresetEngineLink::SavePreset(std::uint8_t preset) {
    engine_.SavePreset(preset);
}

void CPresetEngineLink::RenamePreset(std::uint8_t preset, const std::string& name) {
    engine_.RenamePreset(preset, name);
}

void CPresetEngineLink::SetPolling(bool on) {
    engine_.SetPolling(on);
}
