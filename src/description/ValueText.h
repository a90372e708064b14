#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "description/ParamItem.h"

// How a parameter's one-byte device value (a step index) is shown to the operator.
class ValueText {
public:
    // The step index of the lowest value: minimum / step, truncated toward zero. A step of 0
    // (a corrupt description) counts as lowest index 0 instead of dividing by zero.
    [[nodiscard]] static std::int32_t LowestIndex(const ParamItem& item);

    // n with its last `decimals` digits as the fraction: -5 with 2 decimals is "-0.05".
    [[nodiscard]] static std::string Number(std::int64_t n, unsigned decimals);

    // Numeric items: the number (lowest index + v) * step with the format's decimals, one
    // space and the unit.
    [[nodiscard]] static std::string NumericText(const ParamItem& item, std::uint8_t value);

    // An enumeration entry as shown: without its first "*" and without unit when it has one,
    // otherwise the entry, one space and the unit. Button labels use the same text.
    [[nodiscard]] static std::string EntryText(const std::string& entry, const std::string& unit);

    // The text of any item kind. Preset-name items pick from "Off" and then presetNames.
    // A value beyond the entries or names, and kinds above 2, show the value in decimal.
    [[nodiscard]] static std::string Text(const ParamItem& item, std::uint8_t value,
                                          const std::vector<std::string>& presetNames);
};
