#include <string>

#include <gtest/gtest.h>

#include "skin/CSkin.h"
#include "skin/SkinFileSource.h"
#include "skin/SkinTokenizer.h"
#include "skin/SkinTestSupport.h"

namespace {

// Every entry of the four tables, one per line, so that a case states the whole outcome.
std::string Tables(const CSkin& skin) {
    std::string out;
    for (const auto& [key, entry] : skin.Images()) {
        out += "IMAGE[" + key + "]=" + entry.file + "\n";
    }
    for (const auto& [key, entry] : skin.Icons()) {
        out += "ICON[" + key + "]=" + entry.file + "\n";
    }
    for (const auto& [key, value] : skin.Numbers()) {
        out += "LONG[" + key + "]=" + std::to_string(value) + "\n";
    }
    for (const auto& [key, value] : skin.Texts()) {
        out += "STRING[" + key + "]=" + value + "\n";
    }
    return out;
}

struct ScriptCase {
    const char* name;
    std::string script;
    std::string tables; // what the store holds afterwards
    int errorLine;      // -1: no error
};

// Test names carry the case's name, not a dump of its bytes.
void PrintTo(const ScriptCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kLongToken(5000, 'x');

const ScriptCase kScriptCases[] = {
    {"ColourQuotedAndBare", "LONG(X::a, \"#FF00FF\")\nLONG(X::b, #FF00FF)\nLONG(X::c, #0000FF)",
     "LONG[X::a]=16711935\nLONG[X::b]=16711935\nLONG[X::c]=16711680\n", -1},
    {"ShortColourIsNoColour", "LONG(X::a, \"#FFF\")", "LONG[X::a]=0\n", -1},
    {"BadHexDigitEndsItsPair", "LONG(X::a, #G1FF00)\nLONG(X::b, #1G0000)",
     "LONG[X::a]=65280\nLONG[X::b]=1\n", -1},
    {"ColourWithTrailingSpaceIsDecimal", "LONG(X::a, #FF00FF )", "LONG[X::a]=0\n", -1},
    {"DecimalConversion",
     "LONG(X::a, -3)\nLONG(X::b, \"  42abc\")\nLONG(X::c, 0x10)\nLONG(X::d, abc)\n"
     "LONG(X::e, +685)\nLONG(X::f, 99999999999)\nLONG(X::g, -99999999999)",
     "LONG[X::a]=-3\nLONG[X::b]=42\nLONG[X::c]=0\nLONG[X::d]=0\nLONG[X::e]=685\n"
     "LONG[X::f]=2147483647\nLONG[X::g]=-2147483648\n",
     -1},
    {"StringKeepsCommaAndParenthesis", "STRING(X::a, \"a, b) c\")", "STRING[X::a]=a, b) c\n", -1},
    {"BackslashesStay",
     "IMAGE(DlgMain::background, \"Backgrounds\\DlgBk.bmp\")\nSTRING(X::a, \"say \\\"hi\\\"\")",
     "IMAGE[DlgMain::background]=Backgrounds\\DlgBk.bmp\nSTRING[X::a]=say \\\"hi\\\"\n", -1},
    {"IconTable", "ICON(Tree::icon, \"tree_icon.ico\")", "ICON[Tree::icon]=tree_icon.ico\n", -1},
    {"TablesAreSeparateLaterWins", "LONG(X::a, 1) STRING(X::a, \"t\") LONG(X::a, 2)",
     "LONG[X::a]=2\nSTRING[X::a]=t\n", -1},
    {"RawArgumentsKeepCommentsAndTabs",
     "LONG(X::a, 7 // seven\n)\nSTRING(X::b, hello world )\nSTRING(X::c,\thi)\n"
     "STRING(X::d, f(1, 2))",
     "LONG[X::a]=7\nSTRING[X::b]=hello world \nSTRING[X::c]=\thi\nSTRING[X::d]=f(1, 2)\n", -1},
    {"SpacesAroundKey", "LONG( X::a, 1)\nLONG(X::b , 2)", "LONG[X::a]=1\nLONG[X::b ]=2\n", -1},
    {"QuotedKey", "LONG(\"X::a\", 5)", "LONG[X::a]=5\n", -1},
    {"SpaceOnlyValueIsZero", "LONG(X::a, )", "LONG[X::a]=0\n", -1},
    {"CommentsBetweenStatements",
     "// header\n//LONG(Button::font_width, 5)\n/* LONG(X::b, 2) */ LONG(X::a, 1) // tail\n",
     "LONG[X::a]=1\n", -1},
    {"OpenBlockCommentSwallowsRest", "LONG(X::a, 1)\n/* LONG(X::b, 2)\n", "LONG[X::a]=1\n", -1},
    {"LongTokenKeptWhole", "STRING(X::a, \"" + kLongToken + "\")",
     "STRING[X::a]=" + kLongToken + "\n", -1},
    {"EmptyScript", "", "", -1},
    {"OnlyComments", "  // nothing\n/* here */\n", "", -1},
    {"ThreeArguments", "LONG(X::a, 1)\nLONG(X::b,\n 1, 2)", "LONG[X::a]=1\n", 3},
    {"OneArgument", "LONG(X::a)", "", 1},
    {"EmptySecondArgumentDropped", "LONG(X::a, 1)\nLONG(X::b,)", "LONG[X::a]=1\n", 2},
    {"CutOffStatement", "LONG(X::a, 1)\nLONG(X::b, 5", "LONG[X::a]=1\n", 0},
    {"CutOffInsideString", "STRING(X::a, \"open", "", 0},
    {"CutOffAfterWord", "LONG", "", 0},
    {"LowerCaseWord", "long(X::a, 1)", "", 1},
    {"UnknownWordAfterEntries", "LONG(X::a, 1)\n\nfoo", "LONG[X::a]=1\n", 3},
    {"MissingOpeningParenthesis", "LONG X::a, 1)", "", 1},
    {"CrLfCountsLikeLf", "LONG(X::a, 1)\r\n\r\nLONG(X::b)\r\n", "LONG[X::a]=1\n", 3},
};

class SkinScript : public testing::TestWithParam<ScriptCase> {};

TEST_P(SkinScript, LoadsEntriesOrReportsTheErrorLine) {
    const ScriptCase& c = GetParam();
    ScratchDir dir;
    dir.Write("skin.ini", c.script);
    RecordingMessageBox messages;
    CSkin skin(std::make_shared<SkinFileSource>(""), messages);

    const bool loaded = skin.Load(dir.Path());

    EXPECT_EQ(Tables(skin), c.tables);
    EXPECT_EQ(skin.Folder(), dir.Path());
    if (c.errorLine < 0) {
        EXPECT_TRUE(loaded);
        EXPECT_TRUE(skin.IsLoaded());
        EXPECT_TRUE(messages.messages.empty());
    } else {
        EXPECT_FALSE(loaded);
        EXPECT_FALSE(skin.IsLoaded());
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "Error (0) in line " + std::to_string(c.errorLine));
        EXPECT_EQ(messages.messages[0].caption, "Skin Error");
        EXPECT_EQ(messages.messages[0].icon, IMessageBox::Icon::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SkinScript, testing::ValuesIn(kScriptCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SkinScriptLoad, MissingScriptGivesAnEmptySkinSilently) {
    ScratchDir dir;
    RecordingMessageBox messages;
    CSkin skin(std::make_shared<SkinFileSource>(""), messages);
    EXPECT_TRUE(skin.Load(dir.File("absent")));
    EXPECT_TRUE(skin.IsLoaded());
    EXPECT_TRUE(Tables(skin).empty());
    EXPECT_TRUE(messages.messages.empty());
}

TEST(SkinScriptParse, ThrowsWithThePositionBehindTheFault) {
    RecordingMessageBox messages;
    CSkin skin(nullptr, messages);
    const char* text = "LONG(X::a, 1)\nWORD(X::b, 2)";
    try {
        skin.Parse(text);
        FAIL() << "no exception";
    } catch (const CSkin::SKIN_EXEPTION& error) {
        EXPECT_EQ(error.code, 0);
        EXPECT_EQ(error.position, text + 18); // just behind "WORD"
        EXPECT_EQ(CSkin::ErrorLine(text, error.position), 2);
    }
}

struct TokenCase {
    const char* text;
    int flags;
    std::string token;
    int kind;
    int rest; // characters left behind the token; -1 when GetToken returns null
};

const TokenCase kTokenCases[] = {
    {"  name_1 x", 1, "name_1", kTokenIdentifier, 2},
    {"\"a\\\"b\" x", 1, "a\\\"b", kTokenString, 2},
    {"\"a\" x", 0, "\"a\"", kTokenString, 2},
    {"\"open", 1, "open", kTokenOpenString, -1},
    {"123.5 x", 1, "123", kTokenInteger, 4},
    {"123.5e-2 x", 0, "123.5e-2", kTokenReal, 2},
    {"0x1F x", 0, "0x1F", kTokenHex, 2},
    {"0x1F x", 2, "1F", kTokenHex, 2},
    {"0xg", 0, "0x", kTokenBadHex, 1},
    {":: x", 1, "::", kTokenOperator, 2},
    {"\\\" x", 1, "\\\"", kTokenOperator, 2},
    {"( x", 1, "(", kTokenOperator, 2},
    {"$ x", 1, "$", kTokenOther, 2},
    {"\\ x", 1, "\\", kTokenOther, 2},
    {"// c\n/* d */ w x", 1, "w", kTokenIdentifier, 2},
    {"// c\nw", 8, "/", kTokenOperator, 5},
    {"/* open", 1, "", kTokenOther, -1},
    {"last", 1, "last", kTokenIdentifier, -1},
    {"   ", 1, "", kTokenOther, -1},
};

TEST(SkinTokenizer, ReadsEachKind) {
    for (const TokenCase& c : kTokenCases) {
        SCOPED_TRACE(c.text);
        const char* start = nullptr;
        int length = -1;
        int kind = 99;
        const char* next =
            GetToken(c.text, -1, &start, &length, &kind, c.flags, 0, nullptr, nullptr);
        EXPECT_EQ(std::string(start, static_cast<std::size_t>(length)), c.token);
        EXPECT_EQ(kind, c.kind);
        if (c.rest < 0) {
            EXPECT_EQ(next, nullptr);
        } else {
            ASSERT_NE(next, nullptr);
            EXPECT_EQ(std::string(next), std::string(c.text).substr(strlen(c.text) - c.rest));
        }
    }
}

TEST(SkinTokenizer, KeywordsTakeTheirKindAndLengthLimitsTheText) {
    const char* keywords[] = {"LONG", "::"};
    const int kinds[] = {100, 101};
    const char* start = nullptr;
    int length = 0;
    int kind = 0;
    GetToken("LONG x", -1, &start, &length, &kind, 1, 2, keywords, kinds);
    EXPECT_EQ(kind, 100);
    GetToken(":: x", -1, &start, &length, &kind, 1, 2, keywords, kinds);
    EXPECT_EQ(kind, 101);
    GetToken("LONGER", -1, &start, &length, &kind, 1, 2, keywords, kinds);
    EXPECT_EQ(kind, kTokenIdentifier);
    // Only the first three characters belong to the text.
    EXPECT_EQ(GetToken("abcdef", 3, &start, &length, &kind, 1, 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(length, 3);
}

} // namespace
