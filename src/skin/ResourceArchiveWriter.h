#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Writes the archive layout that ResourceArchive reads: header, label, then one compressed
// entry per Add, in the order added.
class ResourceArchiveWriter {
public:
    explicit ResourceArchiveWriter(const std::string& label);

    // False (and nothing added) when the name is longer than readers accept or the data
    // cannot be compressed.
    [[nodiscard]] bool Add(const std::string& name, std::span<const char> data);
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    [[nodiscard]] std::size_t Count() const { return count_; }

private:
    void PutU32(std::uint32_t value);

    std::vector<std::uint8_t> bytes_;
    std::size_t count_ = 0;
};
