#pragma once

#include <cstddef>
#include <vector>

#include "description/ParamItem.h"

class IBoundControl;

// The controls of the page shown, in creation order, each with the control's own copy of
// its first bound item (whose address matches device replies). Nothing here is owned.
class ControlRegistry {
public:
    struct Entry {
        IBoundControl* control = nullptr;
        ParamItem* item = nullptr;
    };

    void Add(IBoundControl& control, ParamItem& item) { entries_.push_back({&control, &item}); }
    void Clear() { entries_.clear(); }
    [[nodiscard]] const std::vector<Entry>& Entries() const { return entries_; }
    [[nodiscard]] std::size_t Size() const { return entries_.size(); }

private:
    std::vector<Entry> entries_;
};
