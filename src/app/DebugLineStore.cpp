#include "app/DebugLineStore.h"

#include <algorithm>

void DebugLineStore::Add(std::string line) {
    if (count_ >= limit_) {
        // The oldest thousand make room, in one move of the rest.
        std::move(lines_.begin() + kGrowth, lines_.begin() + count_, lines_.begin());
        count_ -= kGrowth;
        dropped_ += kGrowth;
    }
    ++count_;
    if (count_ > lines_.size()) {
        lines_.resize(lines_.size() + kGrowth);
    }
    lines_[count_ - 1] = std::move(line);
}

void DebugLineStore::Clear() {
    std::vector<std::string>().swap(lines_);
    count_ = 0;
    dropped_ = 0;
}
