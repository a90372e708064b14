// The place and words of a refused file, shared by every reader of JSON files.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/TextPlace.h"

namespace {

TEST(TextPlaceTest, CountsLinesAndColumnsAsAnEditorDoes) {
    struct Case {
        std::string text;
        std::size_t index;
        std::string place;
    };
    const std::vector<Case> cases = {
        {"", 0, "line 1, column 1"},        {"abc", 2, "line 1, column 3"},
        {"ab\ncd", 2, "line 1, column 3"}, // the line break itself ends line 1
        {"ab\ncd", 3, "line 2, column 1"},  {"ab\n\ncd", 5, "line 3, column 2"},
        {"ab\ncd", 99, "line 2, column 3"}, // past the end: the end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextPlace::At(c.text, c.index), c.place) << c.text << " @" << c.index;
    }
}

TEST(TextPlaceTest, SaysWhereAndWhatTheJsonLibraryRefused) {
    // The place is the byte the library stopped at; its words follow, without its prefix.
    struct Case {
        std::string text;
        std::string start;
    };
    const std::vector<Case> cases = {
        {"{\n  \"a\": tru}",
         "line 2, column 11: syntax error while parsing value - invalid literal"},
        {"", "line 1, column 1: syntax error while parsing value - unexpected end of input"},
        {"[1,\n2,\n",
         "line 3, column 1: syntax error while parsing value - unexpected end of input"},
    };
    for (const auto& c : cases) {
        try {
            (void)nlohmann::json::parse(c.text);
            ADD_FAILURE() << "parsed: " << c.text;
        } catch (const nlohmann::json::parse_error& e) {
            const std::string message = TextPlace::JsonParseError(c.text, e.byte, e.what());
            EXPECT_EQ(message.substr(0, c.start.size()), c.start) << message;
            EXPECT_EQ(message.find("json.exception"), std::string::npos) << message;
        }
    }
    // Errors without a place of their own keep only the library's words.
    EXPECT_EQ(TextPlace::JsonReason("[json.exception.out_of_range.406] number overflow parsing "
                                    "'1e400'"),
              "number overflow parsing '1e400'");
    EXPECT_EQ(TextPlace::JsonReason("no prefix] here"), "no prefix] here");
}

} // namespace
