#pragma once

#include <cstdint>
#include <string>

#include "description/ParamAddress.h"

// What the simulated processor knows of one of its parameters, taken from its description.
struct SimParameterInfo {
    ParamAddress address;
    std::string name;
    std::uint8_t kind = 0; // 0 numeric, 1 enumeration, 2 preset name
    std::uint8_t span = 0;
    std::int32_t minimum = 0;
    std::int32_t step = 1;
    std::uint8_t format = 0;

    // The value in display units (decimals applied) of step index v.
    [[nodiscard]] double DisplayValue(std::uint8_t v) const {
        const std::int32_t safeStep = step == 0 ? 1 : step;
        const double n = static_cast<double>((minimum / safeStep + v) * safeStep);
        double scale = 1;
        for (int d = 0; d < (format >> 4); ++d) {
            scale *= 10;
        }
        return n / scale;
    }

    // The step index that shows zero when the range holds it, else the lowest step.
    [[nodiscard]] std::uint8_t DefaultValue() const {
        if (kind != 0 || step == 0) {
            return 0;
        }
        const std::int32_t zero = -(minimum / step);
        return zero >= 0 && zero <= span ? static_cast<std::uint8_t>(zero) : 0;
    }
};
