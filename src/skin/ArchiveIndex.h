#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "skin/ResourceArchive.h"

// The entries of one archive, read from its file once and kept in memory, so that a skin
// load does not read the whole executable again for every file it needs.
class ArchiveIndex {
public:
    ArchiveIndex() = default;
    // Reads the file once; keeps only the archive's own bytes, not the program in front.
    static ArchiveIndex FromFile(const std::string& fileName);
    static ArchiveIndex FromImage(std::span<const std::uint8_t> image);

    [[nodiscard]] bool HasArchive() const { return hasArchive_; }
    // In archive order, up to the first broken entry.
    [[nodiscard]] const std::vector<ResourceArchive::EntryHeader>& Entries() const {
        return entries_;
    }
    // The data of the first entry of that name (case of A to Z ignored); nothing when the
    // name is missing or its stream is damaged.
    [[nodiscard]] std::optional<std::vector<char>> Extract(std::string_view name) const;

private:
    static std::string Folded(std::string_view name);

    bool hasArchive_ = false;
    std::vector<std::uint8_t> bytes_; // the entries, from the first one to the end of file
    std::vector<ResourceArchive::EntryHeader> entries_;
    std::unordered_map<std::string, std::size_t> byName_; // folded name to first entry
};
