#pragma once

#include <cstdint>
#include <vector>

#include "description/ParamItem.h"
#include "description/VisibilityCondition.h"

// The items shown by one control, with the control's layout box (units of 10 pixels).
struct ParamSet {
    std::vector<ParamItem> items;
    std::uint8_t hidden = 0;
    std::uint8_t hasCondition = 0;
    VisibilityCondition condition;
    std::uint8_t boxWidth = 0;
    std::uint8_t boxHeight = 0;
    std::uint32_t boxLeft = 0;
    std::uint32_t boxTop = 0;
};
