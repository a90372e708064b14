#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "description/ParamSet.h"
#include "description/VisibilityCondition.h"

// One page or group of the description; the root has an empty name and no sets.
struct ControlNode {
    std::string name;
    std::uint8_t hidden = 0;
    std::uint8_t hasCondition = 0;
    VisibilityCondition condition;
    std::vector<std::unique_ptr<ParamSet>> sets;
    std::vector<std::unique_ptr<ControlNode>> children;
};
