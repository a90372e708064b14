#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "DescriptionFixtures.h"
#include "description/DescriptionJson.h"
#include "description/Latin1Text.h"

namespace {

struct ErrorCase {
    const char* json;
    const char* error; // the whole message
};

class EncoderErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(EncoderErrors, NamesThePlaceOfTheFault) {
    std::string error;
    EXPECT_FALSE(EncodeDescription(GetParam().json, error).has_value());
    EXPECT_EQ(error, GetParam().error);
}

// Syntax errors come from the JSON library in its words; the place is ours to keep right.
struct SyntaxCase {
    const char* json;
    const char* place;  // the message starts with this
    const char* reason; // and says this somewhere after it
};

class EncoderSyntaxErrors : public testing::TestWithParam<SyntaxCase> {};

TEST_P(EncoderSyntaxErrors, NameTheLineAndColumn) {
    std::string error;
    EXPECT_FALSE(EncodeDescription(GetParam().json, error).has_value());
    EXPECT_EQ(error.rfind(GetParam().place, 0), 0u) << error;
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    EXPECT_EQ(error.find("json.exception"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, EncoderSyntaxErrors,
    testing::Values(
        SyntaxCase{"", "line 1, column 1: ", "unexpected end of input"},
        SyntaxCase{"{\"records\": [\n  {\"group\": \"A\",}\n]}",
                   "line 2, column 17: ", "object key"},
        SyntaxCase{"{\"type\": 3} x", "line 1, column 13: ", "end of input"},
        SyntaxCase{"{\"strings\": [\"a\tb\"]}", "line 1, column 16: ", "control character"},
        SyntaxCase{"{\"strings\": [\"\\ud800\"]}", "line 1, column ", "surrogate"},
        SyntaxCase{"{\"type\": 01}", "line 1, column ", "object"},
        SyntaxCase{"{\"type\": tru}", "line 1, column ", "literal"},
        SyntaxCase{"[[[[", "line 1, column 5: ", "unexpected end of input"},
        SyntaxCase{"{\"strings\": [\"open]}", "line 1, column ", "string"},
        // Too large for a double: a bad file with its place, not a failure.
        SyntaxCase{"{\"type\": 1e400}", "line 1, column 10: ", "number overflow"},
        SyntaxCase{"{\"records\": [\n {\"x\": -1e999}]}", "line 2, column 8: ", "1e999"}));

// Two members of one name and nesting beyond the limit are refused with the path of the place.
INSTANTIATE_TEST_SUITE_P(
    Structure, EncoderErrors,
    testing::Values(ErrorCase{"{\"type\": 3, \"type\": 4}", "document: duplicate member \"type\""},
                    ErrorCase{R"({"records": [{"group": "A"}, {"group": "B", "group": "C"}]})",
                              "records[1]: duplicate member \"group\""},
                    ErrorCase{R"({"records": [{"items": [{"name": "a", "name": "b"}]}]})",
                              "records[0].items[0]: duplicate member \"name\""}));

INSTANTIATE_TEST_SUITE_P(
    Schema, EncoderErrors,
    testing::Values(
        ErrorCase{"[]", "document: expected an object"},
        ErrorCase{R"({"type": 256})", "type: expected an integer 0..255"},
        ErrorCase{R"({"type": 2.5})", "type: expected an integer 0..255"},
        ErrorCase{R"({"typo": 1})", "document: unknown member \"typo\""},
        ErrorCase{R"({"strings": [""]})", "strings[0]: an empty text would end the string table"},
        ErrorCase{R"({"strings": ["a\u0000b"]})",
                  "strings[0]: the text contains a NUL character, which would end the text"},
        ErrorCase{R"({"strings": ["\ud83d\ude00"]})",
                  "strings[0]: the text has a character outside Latin-1 (U+0001..U+00FF)"},
        ErrorCase{R"({"strings": ["€"]})",
                  "strings[0]: the text has a character outside Latin-1 (U+0001..U+00FF)"},
        ErrorCase{R"({"records": [{"name": "x"}]})",
                  "records[0]: a record needs \"group\" (a group) or \"items\" or \"empty\" (a "
                  "set)"},
        ErrorCase{R"({"records": [{"group": "G", "children": [{"items": []}]}]})",
                  "records[0].children[0].items: expected an array of 1 to 7 items"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2]}]}]})",
                  "records[0].items[0].address: expected an address of three numbers [a, b, c]"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2, 300]}]}]})",
                  "records[0].items[0].address[2]: expected an integer 0..255"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2, 3], "minimum": 40000}]}]})",
                  "records[0].items[0].minimum: expected an integer -32768..32767"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2, 3], "step": -129}]}]})",
                  "records[0].items[0].step: expected an integer -128..127"},
        ErrorCase{R"({"records": [{"items": [{"kind": 2, "address": [1, 2, 3], "step": 1}]}]})",
                  "records[0].items[0].step: must be 0"},
        ErrorCase{R"({"records": [{"items": [{"kind": 1, "address": [1, 2, 3]}]}]})",
                  "records[0].items[0]: an enumeration needs exactly one of \"entries\" and "
                  "\"first\""},
        ErrorCase{R"({"records": [{"items": [{"kind": 1, "address": [1, 2, 3],
                  "entries": ["a", "b"], "span": 2}]}]})",
                  "records[0].items[0].span: must be 1"},
        ErrorCase{R"({"records": [{"items": [{"kind": 0, "address": [1, 2, 3],
                  "entries": ["a"]}]}]})",
                  "records[0].items[0].entries: only enumeration items (kind 1) have entries"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2, 3], "flag": 1},
                  {"address": [1, 2, 4]}]}]})",
                  "records[0].items[1].flag: all items of a set share one flag"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2, 3]}], "hidden": 0}]})",
                  "records[0].hidden: expected true or false"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2, 3]}], "style": 16}]})",
                  "records[0].style: expected an integer 0..15"},
        ErrorCase{R"({"records": [{"items": [{"address": [1, 2, 3]}], "box": {"wide": 1}}]})",
                  "records[0].box: unknown member \"wide\""},
        ErrorCase{R"({"records": [{"group": "G", "condition": {"address": [1, 2, 3]}}]})",
                  "records[0].condition: a condition needs address, low and high"}));

TEST(DescriptionEncoder, WritesTheByteLayout) {
    // Hand-checked bytes: type, table, then a conditional group holding one set with a
    // numeric and an enumeration item.
    const auto bytes = Encode(R"({"type": 7, "strings": ["A"], "records": [
        {"group": "G", "condition": {"address": [1, 2, 3], "low": 4, "high": 5}, "children": [
            {"style": 1, "box": {"width": 9, "height": 8, "left": 7, "top": 6}, "items": [
                {"kind": 0, "address": [0, 0, 1], "name": "n", "unit": "u", "span": 3,
                 "extra": 2, "minimum": -2, "step": -1, "format": 33, "flag": 1},
                {"kind": 1, "address": [0, 0, 2], "name": "e", "entries": ["A", "B"],
                 "flag": 1}]}]}]})");
    // The entries "A", "B" do not stand in a row in the table, so both are appended.
    const std::vector<std::uint8_t> expected = {
        7,    'A',  0, 'A', 0,   'B', 0,   0,      // type, table
        0x05, 1,    2, 3,   4,   5,   1,   'G', 0, // group, condition, 1 child
        0x12, 0x50,                                // style 1; 2 items, flag
        0,    0,    0, 1,   'n', 0,   'u', 0,   3, 2,    0xFF, 0xFE, 0xFF, 33, // numeric
        1,    0,    0, 2,   'e', 0,   0,   1,   0, 0x00, 0x01, // enumeration from index 1
        9,    8,    7, 6};                                     // box
    EXPECT_EQ(bytes, expected);
}

// Encoded and parsed again, a description gives back the same tree (as JSON).
struct RoundTripCase {
    const char* what;
    const char* source;
    const char* json;
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.what;
}

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, GivesBackTheSameTree) {
    const auto bytes = Encode(GetParam().source);
    ControlDescription description;
    description.Parse(bytes);
    // Ordered documents compare their keys in order too: the shape is kept exactly.
    EXPECT_EQ(DescriptionJson::ToJson(bytes.front(), description.Errors(), *description.Root()),
              nlohmann::ordered_json::parse(GetParam().json));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RoundTrip,
    testing::Values(
        RoundTripCase{"empty", R"({})",
                      R"({"type": 3, "errors": [], "root": {"name": "", "hidden": false, )"
                      R"("condition": null, "sets": [], "children": []}})"},
        RoundTripCase{
            "page_of_one_set",
            R"({"type": 3, "records": [{"style": 7, "items": [{"kind": 5, "address": [1, 2, 3],
                "name": "*Ab \"q\"\\", "unit": "é", "span": 9, "extra": 200}]}]})",
            R"({"type": 3, "errors": [], "root": {"name": "", "hidden": false, )"
            R"("condition": null, "sets": [], "children": [{"name": "AB \"Q\"\\", )"
            R"("hidden": false, "condition": null, "sets": [{"style": 7, "hidden": false, )"
            R"("condition": null, "box": {"width": 0, "height": 0, "left": 0, "top": 0}, )"
            R"("items": [{"kind": 5, "address": [1, 2, 3], "flag": 0, "name": "*Ab \"q\"\\", )"
            R"("unit": "é", "span": 9, "extra": 200, "minimum": 0, "step": 0, "format": 0, )"
            R"("entries": []}]}], "children": []}]}})"},
        RoundTripCase{
            "groups_conditions_entries",
            R"({"type": 3, "strings": ["Off", "On\n"], "records": [
                {"group": "*Dyn", "condition": {"address": [0, 9, 1], "low": 1, "high": 255},
                 "children": [
                    {"group": "Sub", "children": [
                        {"style": 2, "condition": {"address": [0, 9, 2], "low": 0, "high": 0},
                         "box": {"width": 20, "height": 15, "left": 1, "top": 2},
                         "items": [{"kind": 0, "address": [0, 1, 1], "name": "Gain",
                                    "unit": "dB", "span": 80, "minimum": -200, "step": 5,
                                    "format": 24, "flag": 1},
                                   {"kind": 1, "address": [0, 1, 2], "name": "Sw",
                                    "entries": ["Off", "On\n"], "flag": 1}]}]},
                    {"items": [{"kind": 1, "address": [0, 1, 3], "name": "Bad", "first": 1,
                                "span": 1}, {"kind": 2, "address": [0, 1, 4], "name": "P"}]}]}]})",
            R"({"type": 3, "errors": ["Index Error.\n Asked index : 2. Max possible index : 1\n)"
            R"(Address in config file : 54"], "root": {"name": "", "hidden": false, )"
            R"("condition": null, "sets": [], "children": [{"name": "Dyn", "hidden": false, )"
            R"("condition": {"address": [0, 9, 1], "low": 1, "high": 255}, "sets": [{"style": 0, )"
            R"("hidden": false, "condition": null, "box": {"width": 0, "height": 0, "left": 0, )"
            R"("top": 0}, "items": [{"kind": 1, "address": [0, 1, 3], "flag": 0, "name": "Bad", )"
            R"("unit": "", "span": 1, "extra": 0, "minimum": 0, "step": 0, "format": 0, )"
            R"("entries": ["On\n", "Incorect Index"]}, {"kind": 2, "address": [0, 1, 4], )"
            R"("flag": 0, "name": "P", "unit": "", "span": 0, "extra": 0, "minimum": 0, )"
            R"("step": 0, "format": 0, "entries": []}]}], "children": [{"name": "Sub", )"
            R"("hidden": false, "condition": {"address": [0, 9, 1], "low": 1, "high": 255}, )"
            R"("sets": [{"style": 2, "hidden": false, "condition": {"address": [0, 9, 2], )"
            R"("low": 0, "high": 0}, "box": {"width": 20, "height": 15, "left": 1, "top": 2}, )"
            R"("items": [{"kind": 0, "address": [0, 1, 1], "flag": 1, "name": "Gain", )"
            R"("unit": "dB", "span": 80, "extra": 0, "minimum": -200, "step": 5, "format": 24, )"
            R"("entries": []}, {"kind": 1, "address": [0, 1, 2], "flag": 1, "name": "Sw", )"
            R"("unit": "", "span": 1, "extra": 0, "minimum": 0, "step": 0, "format": 0, )"
            R"("entries": ["Off", "On\n"]}]}], "children": []}]}]}})"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(DescriptionEncoder, ReadsEscapesAsLatin1) {
    const auto root = ParseBytes(Encode(R"({"records": [{"items": [{"address": [1, 2, 3],
        "name": "Caf\u00e9 \/\\\"\t", "unit": "\u00B0C"}]}]})"));
    const ParamItem& item = root->children.at(0)->sets.at(0)->items.at(0);
    EXPECT_EQ(item.name, "Caf\xE9 /\\\"\t");
    EXPECT_EQ(item.unit, "\xB0"
                         "C");
}

TEST(DescriptionEncoder, RefusesNestingBeyondItsLimit) {
    std::string error;
    const int limit = DescriptionEncoder::kMaxDepth;
    // The document is the first level: an array inside it holds the rest.
    const auto nested = [](int depth) {
        return "{\"strings\": " + std::string(depth, '[') + std::string(depth, ']') + "}";
    };
    EXPECT_FALSE(EncodeDescription(nested(limit), error));
    EXPECT_EQ(error, "strings[0]: expected a text"); // read whole: only the schema objects
    EXPECT_FALSE(EncodeDescription(nested(limit + 1), error));
    EXPECT_NE(error.find(": nested deeper than 1000 levels"), std::string::npos) << error;
    EXPECT_FALSE(EncodeDescription(std::string(200000, '['), error));
}

TEST(Latin1Text, ConvertsBothWaysAndRefusesWhatLatin1Lacks) {
    EXPECT_EQ(Latin1Text::ToUtf8(std::string("a\x01\xE9\xFF\x7F", 5)), "a\x01\xC3\xA9\xC3\xBF\x7F");
    struct Case {
        const char* utf8;
        bool ok;
        const char* latin1OrProblem;
    };
    const Case cases[] = {
        {"Caf\xC3\xA9 \xC3\x9C", true, "Caf\xE9 \xDC"},
        {"", true, ""},
        {"\xE2\x82\xAC", false, "has a character outside Latin-1 (U+0001..U+00FF)"},
        {"\xF0\x9F\x98\x80", false, "has a character outside Latin-1 (U+0001..U+00FF)"},
        {"a\xC3", false, "is not valid UTF-8"},
        {"\xE9t\xE9", false, "is not valid UTF-8"},
        {"\xC3(", false, "is not valid UTF-8"},
    };
    for (const Case& c : cases) {
        std::string latin1;
        std::string problem;
        EXPECT_EQ(Latin1Text::FromUtf8(c.utf8, latin1, problem), c.ok) << c.utf8;
        EXPECT_EQ(c.ok ? latin1 : problem, c.latin1OrProblem) << c.utf8;
    }
}

TEST(DescriptionJson, WritesLatin1TextsAsUtf8AndEscapesControls) {
    ControlNode root;
    root.name = std::string("a\"\\\x01\x1f\t\xE9\xFF", 8);
    const std::string json = DescriptionJson::Write(3, {std::string("\xB0")}, root);
    EXPECT_NE(json.find("\"name\":\"a\\\"\\\\\\u0001\\u001f\\t\xC3\xA9\xC3\xBF\""),
              std::string::npos)
        << json;
    const auto doc = nlohmann::json::parse(json);
    EXPECT_EQ(doc["root"]["name"], "a\"\\\x01\x1f\t\xC3\xA9\xC3\xBF");
    EXPECT_EQ(doc["errors"][0], "\xC2\xB0");
}

TEST(DescriptionJson, OutputHasEveryKeyAndIndentsOnRequest) {
    const auto bytes = Encode(R"({"records": [{"group": "G", "children": [)" +
                              SetRecord(NumericItem(1, "x")) + "]}]}");
    ControlDescription description;
    description.Parse(bytes);
    const std::string line = DescriptionJson::Write(std::nullopt, {"one"}, *description.Root());
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto doc = nlohmann::ordered_json::parse(line);
    EXPECT_TRUE(doc.at("type").is_null());
    const auto& page = doc.at("root").at("children").at(0);
    std::vector<std::string> keys;
    for (const auto& member : page.items()) {
        keys.push_back(member.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"name", "hidden", "condition", "sets", "children"}));
    EXPECT_EQ(page.at("sets").at(0).at("items").at(0).size(), 11u);

    const std::string indented =
        DescriptionJson::Write(std::nullopt, {"one"}, *description.Root(), 2);
    EXPECT_EQ(indented.rfind("{\n  \"type\": null,\n  \"errors\": [\n    \"one\"\n  ],", 0), 0u)
        << indented;
    EXPECT_EQ(nlohmann::ordered_json::parse(indented), doc);
}

} // namespace
