#include "app/CEngineLink.h"

#include "link/CLinkEngine.h"

void CEngineLink::Open() {
    engine_.Connect();
}

bool CEngineLink::IsConnected() const {
    return engine_.IsConnected();
}

void CEngineLink::Disconnect() {
    engine_.Disconnect();
}

void CEngineLink::Abort() {
    engine_.Abort();
}

void CEngineLink::ReadVersion() {
    engine_.ReadVersion();
}

void CEngineLink::GetConfig(int lockCode) {
    engine_.GetConfig(lockCode);
}

void CEngineLink::GetFactoryPresetNumber() {
    engine_.GetFactoryPresetNumber();
}

void CEngineLink::ReadParameter(const ParamAddress& address) {
    engine_.ReadParameter(address.a, address.b, address.c);
}

void CEngineLink::WriteParameter(const ParamAddress& address, std::uint8_t value) {
    engine_.WriteParameter(address.a, address.b, address.c, value);
}

void CEngineLink::SetPolling(bool on) {
    engine_.SetPolling(on);
}
