#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "description/IBoundControl.h"
#include "description/ParamItem.h"

// The controls of the page shown, in creation order, each with the control's own copy of
// its first bound item (whose address matches device replies). Nothing here is owned: a
// control removes its own entries when it is destroyed, so no entry outlives its control.
class ControlRegistry {
public:
    struct Entry {
        IBoundControl* control = nullptr;
        ParamItem* item = nullptr;
    };

    void Add(IBoundControl& control, ParamItem& item) { entries_.push_back({&control, &item}); }
    void Remove(const IBoundControl& control) {
        std::erase_if(entries_, [&](const Entry& e) { return e.control == &control; });
    }
    void Clear() { entries_.clear(); }
    [[nodiscard]] const std::vector<Entry>& Entries() const { return entries_; }
    [[nodiscard]] std::size_t Size() const { return entries_.size(); }

    // Compare mode: the parameters that differ between compare sides A and B (first address
    // byte 0) are disabled while compare is on, and enabled again when it is off.
    void SetCompareMode(bool compare) {
        // By index: enabling a control runs no code that could change the list, but a copy
        // of the entry keeps this safe even if it did.
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const Entry entry = entries_[i];
            if (entry.item->address.a == 0) {
                entry.control->SetControlEnabled(!compare);
            }
        }
    }

private:
    std::vector<Entry> entries_;
};
