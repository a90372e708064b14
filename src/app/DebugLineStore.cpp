#include "app/DebugLineStore.h"

void DebugLineStore::Add(std::string line) {
    ++count_;
    if (count_ > lines_.size()) {
        lines_.resize(lines_.size() + kGrowth);
    }
    lines_[count_ - 1] = std::move(line);
}

void DebugLineStore::Clear() {
    std::vector<std::string>().swap(lines_);
    count_ = 0;
}
