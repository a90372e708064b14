#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "description/ParamAddress.h"

// One device parameter as described by the processor, plus its last known device value.
struct ParamItem {
    enum Kind : std::uint8_t { Numeric = 0, Enumeration = 1, PresetName = 2 };

    ParamAddress address;
    std::uint8_t itemFlag = 0; // 1: a condition source whose user changes update the model
    std::string name;          // as stored, a leading "*" included
    std::string unit;
    std::uint8_t span = 0;  // numeric: steps above the minimum; enumeration: entries - 1
    std::int32_t style = 0; // control style of the set; meaningful on a set's first item only
    std::vector<std::string> entries; // enumeration texts
    std::int32_t minimum = 0;         // display units, decimals included as integer digits
    std::int32_t step = 0;
    std::uint8_t format = 0; // bits 0-2 field width, bit 3 zero padding, bits 4-7 decimals
    std::uint8_t kind = 0;   // 0..7; kinds above 2 carry no kind-specific bytes
    std::uint8_t extra = 0;  // carried unchanged, not interpreted
    std::uint8_t value = 0;  // current device value (a step index)
};
