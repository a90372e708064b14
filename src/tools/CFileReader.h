#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reads a whole file the tools were pointed at. Only regular files are read, and only up to a
// size the caller names, so a directory, a device such as /dev/zero or a pipe gives a clear
// message instead of an exception or a process that eats memory until it dies.
class CFileReader {
public:
    // The file's bytes; nothing with error set to one line naming the file
    // ("X is a directory", "X is not a regular file", "X is larger than N bytes",
    // "cannot read X: reason").
    [[nodiscard]] static std::optional<std::vector<std::uint8_t>>
    Read(const std::string& path, std::size_t maxBytes, std::string& error);

    // Only looks: true when the path is a regular file of at most maxBytes that can be
    // opened, else false with error as Read would give it.
    [[nodiscard]] static bool Check(const std::string& path, std::size_t maxBytes,
                                    std::string& error);

    // The same as text.
    [[nodiscard]] static std::optional<std::string>
    ReadText(const std::string& path, std::size_t maxBytes, std::string& error);
};
