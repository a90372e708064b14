#include "description/VisibilityEvaluator.h"

void VisibilityEvaluator::CollectConditionValues(const ControlNode& root, ConditionValues& values) {
    values.clear();
    struct Walk {
        static void Node(const ControlNode& node, ConditionValues& out) {
            for (const auto& set : node.sets) {
                if (!set->items.empty() && set->items.front().itemFlag != 0) {
                    out.push_back({set->items.front().address, set->items.front().value});
                }
            }
            for (const auto& child : node.children) {
                Node(*child, out);
            }
        }
    };
    Walk::Node(root, values);
}

void VisibilityEvaluator::RecomputeVisibility(ControlNode& root, ConditionValues& values,
                                              VisibilityMarks& marks) {
    CollectConditionValues(root, values);
    bool pagesChanged = false;
    UpdateNodes(root, values, pagesChanged);
    bool setsChanged = false;
    UpdateSets(root, values, setsChanged);
    marks.pageTreeChanged = marks.pageTreeChanged || pagesChanged;
    marks.currentPageChanged = marks.currentPageChanged || setsChanged;
}

void VisibilityEvaluator::UpdateNodes(ControlNode& node, const ConditionValues& values,
                                      bool& changed) {
    for (const auto& child : node.children) {
        Apply(child->hasCondition, child->condition, child->hidden, values, changed);
        UpdateNodes(*child, values, changed);
    }
}

void VisibilityEvaluator::UpdateSets(ControlNode& node, const ConditionValues& values,
                                     bool& changed) {
    for (const auto& set : node.sets) {
        Apply(set->hasCondition, set->condition, set->hidden, values, changed);
    }
    for (const auto& child : node.children) {
        UpdateSets(*child, values, changed);
    }
}

void VisibilityEvaluator::Apply(std::uint8_t hasCondition, const VisibilityCondition& condition,
                                std::uint8_t& hidden, const ConditionValues& values,
                                bool& changed) {
    if (hasCondition == 0) {
        return;
    }
    for (const ConditionValue& entry : values) {
        if (!(entry.address == condition.address)) {
            continue;
        }
        const bool shown = condition.Admits(entry.value);
        if (shown == (hidden != 0)) {
            hidden = shown ? 0 : 1;
            changed = true;
        }
    }
}
