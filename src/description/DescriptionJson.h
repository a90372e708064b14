#pragma once

#include <optional>
#include <string>
#include <vector>

#include "description/ControlNode.h"

// Writes a parsed description as JSON for people and scripts:
//   {"type": <first byte or null when the data is empty>, "errors": ["...", ...], "root": NODE}
//   NODE = {"name", "hidden", "condition": COND or null, "sets": [SET], "children": [NODE]}
//   COND = {"address": [a, b, c], "low", "high"}
//   SET  = {"style", "hidden", "condition", "box": {"width", "height", "left", "top"},
//           "items": [ITEM]}
//   ITEM = {"kind", "address", "flag", "name", "unit", "span", "extra", "minimum", "step",
//           "format", "entries": ["...", ...]}
// Every key is always present. Texts are Latin-1 in the description and UTF-8 here.
class DescriptionJson {
public:
    [[nodiscard]] static std::string
    Write(std::optional<int> type, const std::vector<std::string>& errors, const ControlNode& root);

    // Reads the file, parses it and returns the JSON text; on failure returns nothing and
    // sets error to a message naming the file.
    [[nodiscard]] static std::optional<std::string> DescribeFile(const std::string& path,
                                                                 std::string& error);

    // A JSON string literal of a Latin-1 text.
    [[nodiscard]] static std::string Quote(const std::string& latin1);
};
