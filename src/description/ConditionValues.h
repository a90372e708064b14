#pragma once

#include <cstdint>
#include <vector>

#include "description/ParamAddress.h"

// The current value of one condition source (the first item of a set whose item flag is set).
struct ConditionValue {
    ParamAddress address;
    std::uint8_t value = 0;

    friend bool operator==(const ConditionValue&, const ConditionValue&) = default;
};

// Condition sources in tree order: a node's sets first, then its children, depth first.
using ConditionValues = std::vector<ConditionValue>;
