#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "link/ByteString.h"

// The LED state reply decoded as the meters read it: preset markers, compare and change
// flags, eight meter rows, meter view and bypass. A byte the reply lacks reads as 0.
class CLedState {
public:
    struct Row {
        int lit = 0;    // segments lit, 0..63
        int colour = 0; // colour code 0..3
        int peak = 0;   // peak segment, 0 = no peak mark
    };

    explicit CLedState(const ByteString& reply);

    int tr = 0;
    int dp = 0;
    int def = 0;
    int current = 0;
    bool compare = false;
    bool change = false;
    int view = 0;
    int bypass = 0;
    std::array<Row, 8> rows{};
    ByteString raw;

    [[nodiscard]] nlohmann::ordered_json ToJson() const;
    // A few lines for a person: preset and side, view and bypass, markers, meter levels.
    [[nodiscard]] std::string Summary() const;
};
