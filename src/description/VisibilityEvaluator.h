#pragma once

#include "description/ConditionValues.h"
#include "description/ControlNode.h"

// What a visibility run changed: pages (the page tree must be rebuilt) or sets (the current
// page must be rebuilt). The owner clears a mark once it has acted on it.
struct VisibilityMarks {
    bool pageTreeChanged = false;
    bool currentPageChanged = false;
};

// Evaluates the visibility conditions of nodes and sets against the condition sources.
class VisibilityEvaluator {
public:
    // Replaces values with the condition sources of the tree and their current values.
    static void CollectConditionValues(const ControlNode& root, ConditionValues& values);

    // Collects the values, then flips the hidden flag of every node and set whose verdict
    // changed, setting the matching mark. Bounds are inclusive; an address without a value
    // leaves the flag alone; several values of one address apply in order, the last decides.
    static void RecomputeVisibility(ControlNode& root, ConditionValues& values,
                                    VisibilityMarks& marks);

private:
    static void UpdateNodes(ControlNode& node, const ConditionValues& values, bool& changed);
    static void UpdateSets(ControlNode& node, const ConditionValues& values, bool& changed);
    static void Apply(std::uint8_t hasCondition, const VisibilityCondition& condition,
                      std::uint8_t& hidden, const ConditionValues& values, bool& changed);
};
