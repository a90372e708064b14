#include "ctl/CLedState.h"

#include <cstdio>

CLedState::CLedState(const ByteString& reply) : raw(reply) {
    auto at = [&](std::size_t i) -> int { return i < reply.size() ? reply[i] : 0; };
    tr = at(2);
    dp = at(3);
    def = at(4);
    current = at(5) & 0x3F;
    compare = (at(5) & 0x40) != 0;
    change = (at(5) & 0x80) != 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r].lit = at(6 + 2 * r) & 0x3F;
        rows[r].colour = (at(6 + 2 * r) >> 6) & 0x03;
        rows[r].peak = at(7 + 2 * r) & 0x3F;
    }
    view = at(22);
    bypass = at(23);
}

std::string CLedState::ToJson() const {
    std::string json =
        "{\"tr\": " + std::to_string(tr) + ", \"dp\": " + std::to_string(dp) +
        ", \"def\": " + std::to_string(def) + ", \"current\": " + std::to_string(current) +
        ", \"compare\": " + (compare ? "1" : "0") + ", \"change\": " + (change ? "1" : "0") +
        ", \"view\": " + std::to_string(view) + ", \"bypass\": " + std::to_string(bypass) +
        ", \"rows\": [";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        json += (r ? ", " : "");
        json += "{\"lit\": " + std::to_string(rows[r].lit) +
                ", \"colour\": " + std::to_string(rows[r].colour) +
                ", \"peak\": " + std::to_string(rows[r].peak) + "}";
    }
    json += "], \"raw\": \"";
    char hex[3];
    for (auto b : raw) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        json += hex;
    }
    return json + "\"}";
}
