#include "skin/FileBytes.h"

#include <filesystem>
#include <fstream>

template <typename Byte> std::optional<std::vector<Byte>> ReadFileBytes(const std::string& path) {
    // A folder opens as a stream on some systems and then reads as nothing or fails late.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    // Read in chunks up to the end rather than trusting the size up front: a file may change
    // while it is read, and some report no size at all.
    constexpr std::size_t kChunk = 1 << 16;
    std::vector<Byte> bytes;
    const auto size = std::filesystem::file_size(path, error);
    if (!error) {
        bytes.reserve(static_cast<std::size_t>(size) + kChunk);
    }
    std::size_t used = 0;
    while (true) {
        bytes.resize(used + kChunk);
        in.read(reinterpret_cast<char*>(bytes.data() + used), kChunk);
        used += static_cast<std::size_t>(in.gcount());
        if (!in) {
            break;
        }
    }
    bytes.resize(used);
    if (in.bad() || !in.eof()) {
        return std::nullopt;
    }
    return bytes;
}

template std::optional<std::vector<char>> ReadFileBytes<char>(const std::string&);
template std::optional<std::vector<std::uint8_t>> ReadFileBytes<std::uint8_t>(const std::string&);
