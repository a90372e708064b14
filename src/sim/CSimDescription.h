#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimParameterInfo.h"

// The control description the simulator serves: the built-in one (a type-3 AGC processor,
// agc-processor.json, embedded at build time) or one from a file, JSON source or bytes.
class CSimDescription {
public:
    [[nodiscard]] static std::optional<std::vector<std::uint8_t>> Builtin(std::string& error);
    // A file ending in ".json" is encoded; any other file is taken as description bytes.
    [[nodiscard]] static std::optional<std::vector<std::uint8_t>> FromFile(const std::string& path,
                                                                           std::string& error);
    // Every parameter the description names, first mention first.
    [[nodiscard]] static std::vector<SimParameterInfo>
    Catalog(const std::vector<std::uint8_t>& description);
};
