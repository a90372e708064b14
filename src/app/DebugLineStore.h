#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The lines of the debug log. The store grows 1000 entries at a time; only the first Count()
// entries are in use.
class DebugLineStore {
public:
    static constexpr std::size_t kGrowth = 1000;

    // Appends a line, growing the store when it is full.
    void Add(std::string line);
    // Forgets every line and gives the memory back.
    void Clear();

    [[nodiscard]] std::size_t Count() const { return count_; }
    // Entries held, used or not: a multiple of kGrowth.
    [[nodiscard]] std::size_t Size() const { return lines_.size(); }
    // Line index (0 .. Count() - 1).
    [[nodiscard]] const std::string& Line(std::size_t index) const { return lines_[index]; }

private:
    std::vector<std::string> lines_;
    std::size_t count_ = 0;
};
