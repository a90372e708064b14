#pragma once

#include <cstdint>

// The three address bytes a, b, c of one device parameter.
struct ParamAddress {
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    std::uint8_t c = 0;

    friend bool operator==(const ParamAddress&, const ParamAddress&) = default;
};
