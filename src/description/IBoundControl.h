#pragma once

#include <cstdint>

// A page control bound to a parameter: sliders and spin fields take the device value as
// their value, button groups select button `value`. Compare mode enables and disables it.
class IBoundControl {
public:
    virtual ~IBoundControl() = default;
    virtual void ShowDeviceValue(std::uint8_t value) = 0;
    virtual void SetControlEnabled(bool enabled) = 0;
};
