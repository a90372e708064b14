#pragma once

// The link requests the connect sequence makes.
class IConnectLink {
public:
    virtual ~IConnectLink() = default;
    virtual void Open() = 0;
    [[nodiscard]] virtual bool IsConnected() const = 0;
    virtual void Disconnect() = 0;
    // Drops the link at once without waiting for the processor.
    virtual void Abort() { Disconnect(); }
    virtual void ReadVersion() = 0;
    virtual void GetConfig(int lockCode) = 0;
    virtual void GetFactoryPresetNumber() = 0;
};
