#pragma once

#include "app/IConnectLink.h"
#include "description/IParameterLink.h"

class CLinkEngine;

// The link engine as the connect sequence and the parameter model see it.
class CEngineLink : public IConnectLink, public IParameterLink {
public:
    explicit CEngineLink(CLinkEngine& engine) : engine_(engine) {}

    // IConnectLink
    void Open() override;
    [[nodiscard]] bool IsConnected() const override;
    void Disconnect() override;
    void Abort() override;
    void ReadVersion() override;
    void GetConfig(int lockCode) override;
    void GetFactoryPresetNumber() override;

    // IParameterLink
    void ReadParameter(const ParamAddress& address) override;
    void WriteParameter(const ParamAddress& address, std::uint8_t value) override;
    void SetPolling(bool on) override;

private:
    CLinkEngine& engine_;
};
