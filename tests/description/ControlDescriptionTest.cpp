#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DescriptionFixtures.h"

namespace {

// Node names with their set counts: "name[sets]{children}".
std::string Outline(const ControlNode& node) {
    std::string text = node.name + "[" + std::to_string(node.sets.size()) + "]";
    if (!node.children.empty()) {
        text += "{";
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            text += (i == 0 ? "" : ",") + Outline(*node.children[i]);
        }
        text += "}";
    }
    return text;
}

std::size_t CountItems(const ControlNode& node) {
    std::size_t count = 0;
    for (const auto& set : node.sets) {
        count += set->items.size();
    }
    for (const auto& child : node.children) {
        count += CountItems(*child);
    }
    return count;
}

using Bytes = std::vector<std::uint8_t>;

// A group "G" holding one numeric set whose item byte says 0 items; box top as given.
Bytes GroupWithOneSet(std::uint8_t boxTop) {
    return {0x01, 0x01, 'G',  0x00,                    // group, 1 child, "G"
            0x02, 0x00,                                // set with content, item byte 0
            0x00, 0x00, 0x01, 0x02,  'x',  0x00, 0x00, // numeric [0,1,2] "x" ""
            0x04, 0x07, 0xFF, 0x38,  0x05, 0x21,       // span 4, extra 7, -200, 5, fmt
            0x02, 0x03, 0x04, boxTop};                 // box
}

Bytes Concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct RawCase {
    const char* what;
    Bytes bytes;
    const char* outline;
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const RawCase& c, std::ostream* os) {
    *os << c.what;
}

class RawFormat : public testing::TestWithParam<RawCase> {};

TEST_P(RawFormat, BuildsTheExpectedTree) {
    RecordingReporter reporter;
    ControlDescription description(&reporter);
    description.Parse(GetParam().bytes);
    ASSERT_NE(description.Root(), nullptr);
    EXPECT_EQ(Outline(*description.Root()), GetParam().outline);
    EXPECT_TRUE(description.Errors().empty()) << description.Errors().front();
    EXPECT_TRUE(reporter.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RawFormat,
    testing::Values(
        // Records start after the first zero pair: offset 6 here, not after the first string.
        RawCase{"two strings", Concat({3, 'A', 0, 'B', 0, 0}, GroupWithOneSet(5)), "[0]{G[1]}"},
        RawCase{"no strings", Concat({3, 0, 0}, GroupWithOneSet(5)), "[0]{G[1]}"},
        RawCase{"zero box top at the end", Concat({3, 0, 0}, GroupWithOneSet(0)), "[0]{G[1]}"},
        RawCase{"zero padding", Concat(Concat({3, 0, 0}, GroupWithOneSet(0)), {0, 0, 0, 0}),
                "[0]{G[1]}"},
        // A set record without its content bit is one byte and yields no page.
        RawCase{"empty set record", Concat({3, 0, 0, 0x14}, GroupWithOneSet(5)), "[0]{G[1]}"},
        RawCase{"only empty records", {3, 0, 0, 0x14, 0x04, 0x10}, "[0]"},
        RawCase{"nothing", {3, 0, 0}, "[0]"}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(ControlDescription, ReadsEveryFieldOfAHandWrittenSet) {
    const auto root = ParseBytes(Concat({3, 'A', 0, 'B', 0, 0}, GroupWithOneSet(0)));
    ASSERT_EQ(root->children.size(), 1u);
    const ParamSet& set = *root->children[0]->sets.at(0);
    ASSERT_EQ(set.items.size(), 1u); // item byte 0 still means one item
    const ParamItem& item = set.items[0];
    EXPECT_EQ(item.address, (ParamAddress{0, 1, 2}));
    EXPECT_EQ(item.name, "x");
    EXPECT_EQ(item.span, 4);
    EXPECT_EQ(item.extra, 7);
    EXPECT_EQ(item.minimum, -200);
    EXPECT_EQ(item.step, 5);
    EXPECT_EQ(item.format, 0x21);
    EXPECT_EQ(item.style, 0);
    EXPECT_EQ(item.itemFlag, 0);
    EXPECT_EQ(set.boxWidth, 2);
    EXPECT_EQ(set.boxHeight, 3);
    EXPECT_EQ(set.boxLeft, 4u);
    EXPECT_EQ(set.boxTop, 0u);
}

TEST(ControlDescription, NamesPagesAndGroups) {
    const auto root = ParseBytes(Encode(R"({"records": [
        )" + SetRecord(NumericItem(1, "*main gain")) +
                                        R"(,
        {"group": "*Input", "children": [)" +
                                        SetRecord(NumericItem(2, "*trim")) + R"(]},
        {"group": "**Star", "children": [)" +
                                        SetRecord(NumericItem(3, "Lévy")) + R"(]},
        )" + SetRecord(NumericItem(4, "Lévy*")) +
                                        R"(
    ]})"));
    ASSERT_EQ(root->children.size(), 4u);
    EXPECT_EQ(root->children[0]->name, "MAIN GAIN");
    EXPECT_EQ(root->children[0]->sets[0]->items[0].name, "*main gain"); // item keeps its star
    EXPECT_EQ(root->children[1]->name, "Input");
    EXPECT_EQ(root->children[1]->sets[0]->items[0].name, "*trim");
    EXPECT_EQ(root->children[2]->name, "*Star");
    // Only ASCII letters change case; the Latin-1 e-acute stays.
    EXPECT_EQ(root->children[3]->name, "L\xE9VY*");
}

TEST(ControlDescription, CopiesStyleToTheFirstItemAndTheFlagToEveryItem) {
    const auto root =
        ParseBytes(Encode(R"({"records": [{"style": 2, "items": [)" + NumericItem(1, "a", 1) + "," +
                          NumericItem(2, "b", 1) + "," + NumericItem(3, "c", 1) + "]}]}"));
    const ParamSet& set = *root->children.at(0)->sets.at(0);
    ASSERT_EQ(set.items.size(), 3u);
    EXPECT_EQ(set.items[0].style, 2);
    EXPECT_EQ(set.items[1].style, 0);
    for (const ParamItem& item : set.items) {
        EXPECT_EQ(item.itemFlag, 1);
    }
}

TEST(ControlDescription, DropsGroupsThatProduceNothing) {
    const auto root = ParseBytes(Encode(R"({"records": [
        {"group": "Empty"},
        {"group": "OnlyEmptySets", "children": [{"empty": true}, {"empty": true, "style": 3}]},
        {"group": "OnlyEmptyGroups", "children": [{"group": "a"}, {"group": "b", "children": [
            {"group": "c"}]}]},
        {"group": "Kept", "children": [{"group": "Gone"}, )" +
                                        SetRecord(NumericItem(1, "x")) + R"(]}
    ]})"));
    EXPECT_EQ(Outline(*root), "[0]{Kept[1]}");
}

// Which nodes end with which condition address byte c (0: none).
struct InheritCase {
    const char* what;
    std::string records;
    std::vector<std::pair<std::string, int>> expected; // node name, condition c or 0
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const InheritCase& c, std::ostream* os) {
    *os << c.what;
}

void CollectConditions(const ControlNode& node, std::vector<std::pair<std::string, int>>& out) {
    for (const auto& child : node.children) {
        out.emplace_back(child->name, child->hasCondition ? child->condition.address.c : 0);
        CollectConditions(*child, out);
    }
}

class Inheritance : public testing::TestWithParam<InheritCase> {};

TEST_P(Inheritance, FollowsTheBudget) {
    const auto root = ParseBytes(Encode(R"({"records": [)" + GetParam().records + "]}"));
    std::vector<std::pair<std::string, int>> got;
    CollectConditions(*root, got);
    EXPECT_EQ(got, GetParam().expected);
}

const std::string kSet = SetRecord(NumericItem(1, "x"));

INSTANTIATE_TEST_SUITE_P(
    Cases, Inheritance,
    testing::Values(
        InheritCase{"inner group inherits",
                    R"({"group": "Outer", "condition": )" + Condition(7, 1, 2) +
                        R"(, "children": [{"group": "Inner", "children": [)" + kSet + "]}, " +
                        kSet + "]}",
                    {{"Outer", 7}, {"Inner", 7}}},
        InheritCase{"own condition wins",
                    R"({"group": "Outer", "condition": )" + Condition(7, 1, 2) +
                        R"(, "children": [{"group": "Inner", "condition": )" + Condition(8, 0, 0) +
                        R"(, "children": [)" + kSet + "]}, " + kSet + "]}",
                    {{"Outer", 7}, {"Inner", 8}}},
        InheritCase{"nested twice",
                    R"({"group": "A", "condition": )" + Condition(7, 1, 2) +
                        R"(, "children": [{"group": "B", "children": [{"group": "C", "children":
                        [)" +
                        kSet + "]}]}, " + kSet + "]}",
                    {{"A", 7}, {"B", 7}, {"C", 7}}},
        // The budget runs out: the outer group's own share and the set before it use it up.
        InheritCase{"budget used up by sets",
                    R"({"group": "A", "condition": )" + Condition(7, 1, 2) + R"(, "children": [)" +
                        kSet + R"(, {"group": "B", "children": [)" + kSet + "]}]}",
                    {{"A", 7}, {"B", 0}}},
        InheritCase{"next top-level group does not inherit",
                    R"({"group": "A", "condition": )" + Condition(7, 1, 2) + R"(, "children": [)" +
                        kSet + R"(]}, {"group": "B", "children": [)" + kSet + "]}",
                    {{"A", 7}, {"B", 0}}},
        // A page made of a top-level set never takes a group condition.
        InheritCase{"set page", SetRecord(NumericItem(1, "p"), Condition(5, 0, 1)), {{"P", 0}}}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(ControlDescription, SetConditionsStayOnTheSet) {
    const auto root =
        ParseBytes(Encode(R"({"records": [{"group": "G", "children": [)" +
                          SetRecord(NumericItem(1, "x"), Condition(4, 2, 9)) + "]}]}"));
    const ParamSet& set = *root->children.at(0)->sets.at(0);
    EXPECT_EQ(set.hasCondition, 1);
    EXPECT_EQ(set.condition, (VisibilityCondition{{0, 9, 4}, 2, 9}));
    EXPECT_EQ(root->children[0]->hasCondition, 0);
}

TEST(ControlDescription, ReportsTheFirstIndexErrorOnceAndKeepsEveryText) {
    // Six strings of three bytes: the records start at offset 20; the first-entry field of
    // the set below ends at offset 33 (0x21).
    const auto bytes = Encode(R"({"strings": ["s0", "s1", "s2", "s3", "s4", "s5"], "records": [
        {"items": [{"kind": 1, "address": [0, 1, 1], "name": "E", "first": 5, "span": 2}]}]})");
    RecordingReporter reporter;
    ControlDescription description(&reporter);
    description.Parse(bytes);
    const ParamItem& item = description.Root()->children.at(0)->sets.at(0)->items.at(0);
    EXPECT_EQ(item.entries, (std::vector<std::string>{"s5", "Incorect Index", "Incorect Index"}));
    const std::string first = "Index Error.\n Asked index : 6. Max possible index : 5\n"
                              "Address in config file : 21";
    ASSERT_EQ(reporter.shown, std::vector<std::string>{first});
    ASSERT_EQ(description.Errors().size(), 2u);
    EXPECT_EQ(description.Errors()[0], first);
    EXPECT_NE(description.Errors()[1].find("Asked index : 7."), std::string::npos);

    // Later errors in the life of the same object are kept but not shown again.
    description.Parse(bytes);
    EXPECT_EQ(reporter.shown.size(), 1u);
    EXPECT_EQ(description.Errors().size(), 2u);
}

TEST(ControlDescription, NegativeIndexAndEmptyTable) {
    const auto root = ParseBytes(Encode(R"({"records": [{"items": [{"kind": 1,
        "address": [0, 1, 1], "name": "E", "first": -1, "span": 1}]}]})"));
    ControlDescription description;
    description.Parse(Encode(R"({"records": [{"items": [{"kind": 1, "address": [0, 1, 1],
        "name": "E", "first": -1, "span": 0}]}]})"));
    ASSERT_EQ(description.Errors().size(), 1u);
    EXPECT_NE(description.Errors()[0].find("Asked index : -1. Max possible index : -1"),
              std::string::npos);
    EXPECT_EQ(root->children.at(0)->sets.at(0)->items.at(0).entries,
              (std::vector<std::string>{"Incorect Index", "Incorect Index"}));
}

TEST(ControlDescription, ListsAtMostAThousandIndexErrors) {
    std::string items;
    for (int i = 0; i < 5; ++i) {
        items += std::string(i == 0 ? "" : ",") + R"({"kind": 1, "address": [0, 1, 1],
            "name": "E", "first": -300, "span": 255})";
    }
    ControlDescription description;
    description.Parse(Encode(R"({"records": [{"items": [)" + items + "]}]}"));
    const auto& errors = description.Errors();
    ASSERT_EQ(errors.size(), ControlDescription::kMaxIndexErrorTexts + 1);
    EXPECT_NE(errors[999].find("Asked index : -69."), std::string::npos);
    EXPECT_EQ(errors.back(), "Too many index errors: only the first 1000 are listed.");
    for (const ParamItem& item : description.Root()->children.at(0)->sets.at(0)->items) {
        EXPECT_EQ(item.entries.size(), 256u); // every entry is still there
    }
}

TEST(ControlDescription, TakesEnumerationEntriesFromTheTable) {
    const auto root = ParseBytes(Encode(R"({"strings": ["Off", "On"], "records": [
        {"items": [{"kind": 1, "address": [0, 1, 1], "name": "Mode", "entries": ["On", "Auto*"]},
                   {"kind": 1, "address": [0, 1, 2], "name": "Sw", "entries": ["Off", "On"]}]}]})"));
    const auto& items = root->children.at(0)->sets.at(0)->items;
    EXPECT_EQ(items.at(0).entries, (std::vector<std::string>{"On", "Auto*"}));
    EXPECT_EQ(items.at(0).span, 1);
    EXPECT_EQ(items.at(1).entries, (std::vector<std::string>{"Off", "On"}));
}

// Every cut of a description stops at the end of the data, keeps what came before and
// reports the cut; no cut reads beyond the data (the address sanitizer build checks that).
TEST(ControlDescription, CutDescriptionsKeepWhatWasParsedAndReportTheCut) {
    const auto full = Encode(R"({"strings": ["Off", "On"], "records": [
        {"group": "A", "condition": )" +
                             Condition(1, 0, 1) + R"(, "children": [
            {"group": "B", "children": [)" +
                             SetRecord(NumericItem(1, "x")) + R"(]},
            {"items": [{"kind": 1, "address": [0, 1, 2], "name": "Sw", "entries": ["Off", "On"]},
                       {"kind": 2, "address": [0, 1, 3], "name": "Preset"}],
             "box": {"width": 1, "height": 1, "left": 1, "top": 1}, "condition": )" +
                             Condition(2, 3, 4) + R"(}]},
        )" + SetRecord(NumericItem(5, "last")) +
                             "]}");
    ASSERT_NE(full.back(), 0);
    const std::size_t fullItems = CountItems(*ParseBytes(full));
    ASSERT_EQ(fullItems, 4u);
    // A cut between top-level records cannot be told from a shorter description.
    const std::size_t tableEnd = 9; // type, "Off", "On", end of table
    const std::size_t lastRecord =
        full.size() - (Encode(R"({"strings": ["Off", "On"], "records": [)" +
                              SetRecord(NumericItem(5, "last")) + "]}")
                           .size() -
                       tableEnd);
    std::size_t previous = 0;
    for (std::size_t size = 0; size < full.size(); ++size) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
        RecordingReporter reporter;
        ControlDescription description(&reporter);
        description.Parse(cut);
        ASSERT_NE(description.Root(), nullptr);
        const bool atBoundary = size == tableEnd || size == lastRecord;
        ASSERT_EQ(description.Errors().size(), atBoundary ? 0u : 1u) << "cut at " << size;
        if (!atBoundary) {
            EXPECT_EQ(description.Errors()[0].rfind("Config Truncated.\n", 0), 0u);
        }
        EXPECT_EQ(reporter.shown, description.Errors());
        const std::size_t items = CountItems(*description.Root());
        EXPECT_GE(items, previous) << "cut at " << size;
        EXPECT_LE(items, fullItems) << "cut at " << size;
        previous = items;
    }
}

TEST(ControlDescription, StopsAtGroupsNestedTooDeeply) {
    auto nested = [](int depth) {
        std::string json = SetRecord(NumericItem(1, "deep"));
        for (int i = 0; i < depth; ++i) {
            json = R"({"group": "g", "children": [)" + json + "]}";
        }
        return Encode(R"({"records": [)" + json + "]}");
    };
    ControlDescription description;
    description.Parse(nested(ControlDescription::kMaxGroupDepth));
    EXPECT_TRUE(description.Errors().empty());
    EXPECT_EQ(CountItems(*description.Root()), 1u);

    description.Parse(nested(ControlDescription::kMaxGroupDepth + 1));
    ASSERT_EQ(description.Errors().size(), 1u);
    EXPECT_EQ(description.Errors()[0].rfind("Config Nesting Error.\n", 0), 0u);
    EXPECT_EQ(CountItems(*description.Root()), 0u);
}

TEST(ControlDescription, LoadReadsAFileAndKeepsEarlierTreesAlive) {
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("solvei-desc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    };
    const std::string first = write("first.bin", Encode(R"({"records": [{"group": "One",
        "children": [)" + SetRecord(NumericItem(1, "x")) +
                                                        "]}]}"));
    const std::string second = write("second.bin", Encode(R"({"records": [{"group": "Two",
        "children": [)" + SetRecord(NumericItem(1, "y")) + "]}]}"));

    ControlDescription description;
    ASSERT_TRUE(description.Load(first));
    const std::shared_ptr<ControlNode> old = description.Root();
    const ControlNode* oldPage = old->children.at(0).get();
    ASSERT_TRUE(description.Load(second));
    EXPECT_EQ(description.Root()->children.at(0)->name, "Two");
    EXPECT_EQ(oldPage->name, "One"); // still valid for whoever holds the old root
    EXPECT_EQ(oldPage->sets.at(0)->items.at(0).name, "x");

    EXPECT_FALSE(description.Load((dir / "missing.bin").string()));
    EXPECT_EQ(description.Root(), nullptr);
    EXPECT_EQ(old->children.at(0)->name, "One");

    // A path that opens but cannot be read (a directory) fails like a missing file instead
    // of passing an empty read off as a description.
    ASSERT_TRUE(description.Load(second));
    std::filesystem::create_directories(dir / "folder.bin");
    EXPECT_FALSE(description.Load((dir / "folder.bin").string()));
    EXPECT_EQ(description.Root(), nullptr);
    std::filesystem::remove_all(dir);
}

} // namespace
