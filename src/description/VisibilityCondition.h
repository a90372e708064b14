#pragma once

#include <cstdint>

#include "description/ParamAddress.h"

// The owner is shown while the parameter at address holds a value in low..high (inclusive).
struct VisibilityCondition {
    ParamAddress address;
    std::uint8_t low = 0;
    std::uint8_t high = 0;

    [[nodiscard]] bool Admits(std::uint8_t value) const { return low <= value && value <= high; }

    friend bool operator==(const VisibilityCondition&, const VisibilityCondition&) = default;
};
