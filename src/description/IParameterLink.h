#pragma once

#include <cstdint>

#include "description/ParamAddress.h"

// The part of the link engine the parameter model uses.
class IParameterLink {
public:
    virtual ~IParameterLink() = default;
    [[nodiscard]] virtual bool IsConnected() const = 0;
    // Queue a Read parameter / Write parameter command.
    virtual void ReadParameter(const ParamAddress& address) = 0;
    virtual void WriteParameter(const ParamAddress& address, std::uint8_t value) = 0;
    // Periodic LED-state polling on or off.
    virtual void SetPolling(bool on) = 0;
};
