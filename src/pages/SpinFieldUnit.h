#pragma once

#include <string>

#include "description/ParamItem.h"

// What a spin field shows beside its value: the item's unit ("-18.0 dB"), or, between the
// fields of one time (hours, minutes, seconds), a ":" and no units ("06:30:00").
class SpinFieldUnit {
public:
    // True when the two neighbouring items are parts of one time: hours then minutes, or
    // minutes then seconds, by their units ("h", "min", "s" and their longer spellings).
    [[nodiscard]] static bool IsTimeStep(const ParamItem& left, const ParamItem& right);
    // The printf-style number format of a numeric field followed by one space and the unit
    // (UTF-8, a '%' doubled); the plain number format when showUnit is false or there is no
    // unit.
    [[nodiscard]] static std::string NumberFormat(const ParamItem& item, bool showUnit);
    // An entry of a list field (UTF-8): the entry, one space and the unit, as the option
    // groups show it; an entry with a "*" or an item without unit shows the entry alone.
    [[nodiscard]] static std::string EntryText(const std::string& entry, const std::string& unit);
};
