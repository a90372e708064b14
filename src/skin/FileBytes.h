#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The whole content of the file at path, as the skin code reads its archives, scripts and
// images; nothing when the path names a folder or the file cannot be opened or read to its
// end. Byte is char or std::uint8_t.
template <typename Byte>
[[nodiscard]] std::optional<std::vector<Byte>> ReadFileBytes(const std::string& path);

extern template std::optional<std::vector<char>> ReadFileBytes<char>(const std::string&);
extern template std::optional<std::vector<std::uint8_t>>
ReadFileBytes<std::uint8_t>(const std::string&);
