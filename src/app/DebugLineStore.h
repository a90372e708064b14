#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The lines of the debug log. The store grows 1000 entries at a time; only the first Count()
// entries are in use. It holds at most a limit of lines (about 30 MB at the default): once
// full, the oldest thousand go, and how many went is counted, so a window left open for days
// cannot eat the machine's memory.
class DebugLineStore {
public:
    static constexpr std::size_t kGrowth = 1000;
    static constexpr std::size_t kDefaultLimit = 200 * kGrowth;

    explicit DebugLineStore(std::size_t limit = kDefaultLimit)
        : limit_(limit < 2 * kGrowth ? 2 * kGrowth : limit) {}

    // Appends a line, growing the store when it is full.
    void Add(std::string line);
    // Forgets every line and gives the memory back.
    void Clear();

    [[nodiscard]] std::size_t Count() const { return count_; }
    // Lines dropped from the front to stay within the limit, since the last Clear.
    [[nodiscard]] std::size_t Dropped() const { return dropped_; }
    [[nodiscard]] std::size_t Limit() const { return limit_; }
    // Entries held, used or not: a multiple of kGrowth.
    [[nodiscard]] std::size_t Size() const { return lines_.size(); }
    // Line index (0 .. Count() - 1).
    [[nodiscard]] const std::string& Line(std::size_t index) const { return lines_[index]; }

private:
    std::vector<std::string> lines_;
    std::size_t limit_;
    std::size_t count_ = 0;
    std::size_t dropped_ = 0;
};
