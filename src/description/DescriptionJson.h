#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "description/ControlNode.h"

// Writes a parsed description as JSON for people and scripts:
//   {"type": <first byte or null when the data is empty>, "errors": ["...", ...], "root": NODE}
//   NODE = {"name", "hidden", "condition": COND or null, "sets": [SET], "children": [NODE]}
//   COND = {"address": [a, b, c], "low", "high"}
//   SET  = {"style", "hidden", "condition", "box": {"width", "height", "left", "top"},
//           "items": [ITEM]}
//   ITEM = {"kind", "address", "flag", "name", "unit", "span", "extra", "minimum", "step",
//           "format", "entries": ["...", ...]}
// Every key is always present, in this order. Texts are Latin-1 in the description and UTF-8
// here.
class DescriptionJson {
public:
    [[nodiscard]] static nlohmann::ordered_json ToJson(std::optional<int> type,
                                                       const std::vector<std::string>& errors,
                                                       const ControlNode& root);

    // The document as text: one line, or indented by that many spaces.
    [[nodiscard]] static std::string Write(std::optional<int> type,
                                           const std::vector<std::string>& errors,
                                           const ControlNode& root, int indent = -1);
};
