#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// Writes the control description bytes from a readable JSON source; the inverse of
// ControlDescription::Parse. Texts are UTF-8 in the JSON and Latin-1 in the bytes, so every
// character must lie in U+0001..U+00FF. Unknown members are errors (they are usually typos).
//
//   DOC   = {"type": n (first byte, default 3),
//            "strings": ["text", ...] (string table from index 0; optional),
//            "records": [REC, ...] (top-level records in order)}
//   REC   = GROUP | SET
//   GROUP = {"group": "name" (written as given; the reader drops one leading "*"),
//            "condition": COND or null (null/absent: none written; the group may still inherit
//                         the condition in force while earlier conditional groups last),
//            "children": [REC, ...] (0..255, in order)}
//   SET   = {"style": 0..15 (0 slider, 1 buttons, 2 spin, others build nothing; default 0),
//            "condition": COND or null, "hidden": bool (ignored: state, not stored),
//            "box": {"width", "height", "left", "top": 0..255 each, default 0},
//            "items": [ITEM, ...] (1..7)}
//         | {"empty": true, "style": n, "condition": COND or null}
//            (a one-byte record with the content bit clear; it yields nothing)
//   COND  = {"address": [a, b, c], "low": 0..255, "high": 0..255}
//   ITEM  = {"kind": 0..7 (default 0), "address": [a, b, c], "flag": 0|1 (the item byte's
//            flag: all items of a set must agree; default 0), "name": "...", "unit": "...",
//            "span": 0..255, "extra": 0..255,
//            numeric (kind 0) only: "minimum": -32768..32767, "step": -128..127,
//                                   "format": 0..255,
//            enumeration (kind 1) only, one of:
//              "entries": ["text", ...] (1..256; taken from "strings" where they stand there
//                         in a row, else appended to the table; span defaults to count - 1)
//              "first": -32768..32767 (raw index of the first entry; indexes outside the
//                       table are written as given)}
//   Other kinds accept "minimum", "step" and "format" only as 0 and "entries" only as [],
//   so an item of the describe JSON output is also a valid ITEM.
class DescriptionEncoder {
public:
    // Deeper nesting is refused, so hostile input cannot exhaust the stack of the walk.
    static constexpr int kMaxDepth = 1000;

    [[nodiscard]] static std::optional<std::vector<std::uint8_t>> Encode(std::string_view json,
                                                                         std::string& error);

private:
    using Json = nlohmann::ordered_json;

    bool EncodeDocument(const Json& doc);
    bool EncodeRecord(const Json& rec, const std::string& path);
    bool EncodeGroup(const Json& rec, const std::string& path);
    bool EncodeSet(const Json& rec, const std::string& path);
    bool EncodeItem(const Json& item, const std::string& path, int& flag);
    bool EncodeCondition(const Json* cond, const std::string& path, bool& present);
    bool Integer(const Json* value, const std::string& path, long min, long max, long fallback,
                 long& out);
    bool Text(const Json* value, const std::string& path, bool allowEmpty, std::string& out);
    bool Address(const Json* value, const std::string& path);
    bool OnlyMembers(const Json& object, const std::string& path,
                     std::initializer_list<std::string_view> names);
    bool Fail(const std::string& path, const std::string& message);
    int FindOrAddEntries(const std::vector<std::string>& entries);

    std::vector<std::string> strings_;
    std::vector<std::uint8_t> records_;
    std::string error_;
};

// The name the simulator uses; see DescriptionEncoder for the schema.
[[nodiscard]] inline std::optional<std::vector<std::uint8_t>>
EncodeDescription(std::string_view json, std::string& error) {
    return DescriptionEncoder::Encode(json, error);
}
