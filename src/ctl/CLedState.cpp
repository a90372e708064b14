#include "ctl/CLedState.h"

#include <cstdio>

#include "ctl/PresetLabel.h"

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

nlohmann::ordered_json CLedState::ToJson() const {
    nlohmann::ordered_json json;
    json["tr"] = tr;
    json["dp"] = dp;
    json["def"] = def;
    json["current"] = current;
    json["compare"] = compare ? 1 : 0;
    json["change"] = change ? 1 : 0;
    json["view"] = view;
    json["bypass"] = bypass;
    auto& meters = json["rows"] = nlohmann::ordered_json::array();
    for (const Row& row : rows) {
        meters.push_back({{"lit", row.lit}, {"colour", row.colour}, {"peak", row.peak}});
    }
    std::string hex;
    char pair[3];
    for (auto b : raw) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        hex += pair;
    }
    json["raw"] = hex;
    return json;
}

std::string CLedState::Summary() const {
    const auto marker = [](int preset) {
        return preset == 0xFF ? std::string("-") : PresetLabel(preset) + ":";
    };
    std::string side;
    if (change) {
        side = compare ? " (comparing: side B, the preset as loaded)" : " (edited: side A)";
    }
    std::string text = "preset " + marker(current) + side + "\n";
    text += std::string("meters ") + (view ? "input/output" : "AGC") + ", " +
            (bypass ? "BYPASS" : "online") + "\n";
    text += "markers TR " + marker(tr) + "  DP " + marker(dp) + "  DEF " + marker(def) + "\n";
    text += "levels";
    for (const Row& row : rows) {
        text += " " + std::to_string(row.lit);
    }
    return text;
}
