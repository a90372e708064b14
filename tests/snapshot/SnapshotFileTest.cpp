#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "snapshot/SnapshotEncoding.h"
#include "snapshot/SnapshotFile.h"
#include "snapshot/SnapshotFixture.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The file edited as a tool would, with the digest made to match again, so the reader's own
// checks of the content are reached.
std::string EditAndReseal(const std::string& text, const std::function<void(Json&)>& edit) {
    Json doc = Json::parse(text);
    doc.erase("sha256");
    edit(doc);
    doc["sha256"] = SnapshotEncoding::Sha256(Dump(doc));
    return doc.dump(2);
}

TEST(SnapshotCatalogTest, EveryAddressOnceInPageOrderWithPathsCaptionsAndShownValues) {
    const Snapshot s = MakeSnapshot();
    std::vector<std::string> lines;
    for (const auto& p : s.parameters) {
        lines.push_back(p.path + " | " + p.caption + " | " + p.shown + " | " +
                        std::to_string(p.address.a) + std::to_string(p.address.b) +
                        std::to_string(p.address.c) + (p.live ? " live" : ""));
    }
    const std::vector<std::string> expected = {
        "AGC | AGC Drive | 5.0 dB | 000",
        "AGC | AGC Release | Slow | 001", // no trailing space for the empty unit
        "AGC > Bands | Low Band | -6.0 dB | 010",
        "STEREO ENHANCE | Stereo Enhance | 30 % | 030",
        "System | Power-on Preset | FACTORY 8 | 120", // 9: "Off", then the presets in order
        "System | Time of Day | 1 h | 500 live",      // AGC Drive again at 0 0 0 is left out
    };
    EXPECT_EQ(lines, expected);
}

TEST(SnapshotFileTest, WriteThenReadGivesTheSameSnapshot) {
    const Snapshot s = MakeSnapshot();
    const std::string text = SnapshotFile::Write(s);
    std::string error;
    const auto back = SnapshotFile::Read(text, "a.json", error);
    ASSERT_TRUE(back.has_value()) << error;
    EXPECT_EQ(*back, s);
    EXPECT_EQ(SnapshotFile::Write(*back), text); // stable: the same bytes again
}

TEST(SnapshotFileTest, OneParameterAndOnePresetALineReadable) {
    const std::string text = SnapshotFile::Write(MakeSnapshot());
    EXPECT_NE(text.find("\n    {\"path\":\"AGC\",\"caption\":\"AGC Drive\",\"shown\":\"5.0 dB\","
                        "\"address\":[0,0,0],\"value\":30},\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n    {\"number\":8,\"label\":\"F1\",\"name\":\"FACTORY 8\"},\n"),
              std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("\"DEF\":\\{\"number\":8,\"label\":\"F1\"\\}")));
    EXPECT_TRUE(std::regex_search(text, std::regex("\n  \"sha256\": \"[0-9a-f]{64}\"\n\\}\n$")));
}

TEST(SnapshotFileTest, TruncatedForeignAndEditedFilesAreRefusedWithOneLine) {
    const std::string good = SnapshotFile::Write(MakeSnapshot());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    struct Case {
        const char* what;
        std::string text;
        const char* error; // a regular expression for the whole line
    };
    const std::vector<Case> cases = {
        {"empty", "", "^s\\.json: line 1, column 1: .+$"},
        {"truncated", good.substr(0, good.size() / 2), "^s\\.json: line \\d+, column \\d+: .+$"},
        {"not JSON", "PK\x03\x04 zip", "^s\\.json: line 1, column 1: .+$"},
        {"foreign JSON", R"({"type": 3, "records": []})", "^s\\.json: not a Solvei snapshot$"},
        {"a list", "[1, 2]", "^s\\.json: not a Solvei snapshot$"},
        {"later format", replaced("\"solvei_snapshot\": 1", "\"solvei_snapshot\": 2"),
         "^s\\.json: snapshot format 2 is not the format 1 this program reads$"},
        {"value edited", replaced("\"value\":30", "\"value\":31"),
         "^s\\.json: the content does not match its sha256: the file was changed after it was "
         "taken$"},
        {"digest removed", replaced("\n  \"sha256\"", "\n  \"sha\""),
         "^s\\.json: the snapshot has no sha256 of its content$"},
        {"value and digest edited",
         EditAndReseal(good, [](Json& d) { d["parameters"][0]["value"] = 31; }),
         "^s\\.json: parameters\\[0\\]: its texts do not follow from the description and its "
         "value$"},
        {"value out of range",
         EditAndReseal(good, [](Json& d) { d["parameters"][0]["value"] = 256; }),
         "^s\\.json: parameters\\[0\\]\\.value: must be a whole number 0\\.\\.255$"},
        {"address moved",
         EditAndReseal(good,
                       [](Json& d) {
                           d["parameters"][1]["address"] = {0, 0, 0};
                       }),
         "^s\\.json: parameters\\[1\\]\\.address: is not the parameter the description names in "
         "this place$"},
        {"parameter dropped", EditAndReseal(good, [](Json& d) { d["parameters"].erase(0); }),
         "^s\\.json: parameters: holds 5 parameters, the description names 6$"},
        {"preset data not base64",
         EditAndReseal(good, [](Json& d) { d["presets"][0]["data"] = "@@@@"; }),
         "^s\\.json: presets\\[0\\]\\.data: is not base64$"},
        {"preset data changed",
         EditAndReseal(good,
                       [](Json& d) {
                           d["presets"][0]["data"] =
                               SnapshotEncoding::ToBase64(PresetData("USER 1", 99));
                       }),
         "^s\\.json: presets\\[0\\]: the data does not match its sha256$"},
        {"preset renamed without its data",
         EditAndReseal(good, [](Json& d) { d["presets"][0]["name"] = "NEWS"; }),
         "^s\\.json: presets\\[0\\]\\.name: is not the name its data holds$"},
        {"description missing", EditAndReseal(good, [](Json& d) { d.erase("description"); }),
         "^s\\.json: \"description\" is missing$"},
        {"type not the description's",
         EditAndReseal(good, [](Json& d) { d["processor"]["type"] = 4; }),
         "^s\\.json: processor\\.type: is not the type its description names \\(3\\)$"},
        {"meter view unknown",
         EditAndReseal(good, [](Json& d) { d["state"]["meter_view"] = "VU\nx"; }),
         "^s\\.json: state\\.meter_view: must be \"AGC\" or \"input/output\"$"},
        {"deeply nested",
         std::string(R"({"solvei_snapshot": 1, "x": )") + std::string(100, '[') +
             std::string(100, ']') + "}",
         "^s\\.json: nested deeper than a snapshot$"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto s = SnapshotFile::Read(c.text, "s.json", error);
        EXPECT_FALSE(s.has_value()) << c.what;
        EXPECT_TRUE(std::regex_match(error, std::regex(c.error))) << c.what << ": " << error;
    }
}

TEST(SnapshotFileTest, SaveReplacesAWholeFileOrLeavesTheOldOne) {
    const std::string path = ::testing::TempDir() + "snapshot-save-test.json";
    std::string error;
    ASSERT_TRUE(SnapshotFile::Save(MakeSnapshot(), path, error)) << error;
    const auto loaded = SnapshotFile::Load(path, error);
    ASSERT_TRUE(loaded.has_value()) << error;
    EXPECT_EQ(*loaded, MakeSnapshot());
    EXPECT_FALSE(SnapshotFile::Save(MakeSnapshot(), "/nonexistent-dir/x.json", error));
    EXPECT_EQ(error, "cannot write /nonexistent-dir/x.json");
    EXPECT_FALSE(SnapshotFile::Load(::testing::TempDir(), error).has_value());
    EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
    std::remove(path.c_str());
}

TEST(SnapshotEncodingTest, KnownDigestsAndStrictBase64) {
    EXPECT_EQ(SnapshotEncoding::Sha256(std::string_view("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(SnapshotEncoding::ToBase64({'S', 'o', 'l'}), "U29s");
    EXPECT_EQ(SnapshotEncoding::FromBase64("U29sdg=="), (ByteString{'S', 'o', 'l', 'v'}));
    for (const char* bad : {"U29", "U2 s", "U29s====", "****"}) {
        EXPECT_FALSE(SnapshotEncoding::FromBase64(bad).has_value()) << bad;
    }
}

} // namespace
