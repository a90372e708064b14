#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Packs a skin folder into the archive the program reads, and puts that archive behind an
// executable.
class SkinPacker {
public:
    // Every file under folder, skin-relative with backslashes between folders, in
    // case-insensitive order.
    static std::optional<std::vector<std::string>> Files(const std::string& folder,
                                                         std::string& error);
    // The archive (label "none") of every file under folder.
    static std::optional<std::vector<std::uint8_t>> Pack(const std::string& folder,
                                                         std::string& error);
    // Replaces an archive already behind the executable, else appends one. Writes a new
    // file and renames it over the old one, so a running program can pack itself.
    // The whole file, or nothing with error set when it cannot be read, is no regular file
    // or is larger than the tool handles.
    static std::optional<std::vector<char>> ReadFile(const std::string& path, std::string& error);
    static bool Append(const std::string& executable, const std::string& folder,
                       std::string& error);
};
