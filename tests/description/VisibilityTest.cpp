#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DescriptionFixtures.h"
#include "description/VisibilityEvaluator.h"

namespace {

// Two condition sources ([0,9,1] and [0,9,2]) and nodes and sets that depend on them. "Dep"
// has two children so that "Inner", its first, still finds budget to inherit from.
std::shared_ptr<ControlNode> Fixture() {
    const std::string source1 = R"({"kind": 0, "address": [0, 9, 1], "name": "s1", "flag": 1,
                                    "span": 9, "step": 1})";
    const std::string source2 = R"({"kind": 0, "address": [0, 9, 2], "name": "s2", "flag": 1,
                                    "span": 9, "step": 1})";
    return ParseBytes(Encode(
        R"({"records": [
        {"group": "Src", "children": [)" +
        SetRecord(source1) + "," + SetRecord(source2) + R"(]},
        {"group": "Dep", "condition": )" +
        Condition(1, 2, 2) + R"(, "children": [
            {"group": "Inner", "children": [)" +
        SetRecord(NumericItem(3, "x"), Condition(2, 0, 0)) + R"(]}, )" +
        SetRecord(NumericItem(6, "w")) + R"(]},
        {"group": "Always", "condition": )" +
        Condition(2, 0, 255) + R"(, "children": [)" + SetRecord(NumericItem(4, "y")) + R"(]},
        {"group": "Orphan", "condition": )" +
        Condition(7, 0, 0) + R"(, "children": [)" + SetRecord(NumericItem(5, "z")) + R"(]}]})"));
}

struct Hidden {
    int dep, inner, always, orphan, set;
    friend bool operator==(const Hidden&, const Hidden&) = default;
};

void PrintTo(const Hidden& h, std::ostream* os) {
    *os << "dep " << h.dep << " inner " << h.inner << " always " << h.always << " orphan "
        << h.orphan << " set " << h.set;
}

Hidden Read(const ControlNode& root) {
    const ControlNode& dep = *root.children[1];
    return {dep.hidden, dep.children[0]->hidden, root.children[2]->hidden, root.children[3]->hidden,
            dep.children[0]->sets[0]->hidden};
}

struct VisibilityCase {
    const char* what;
    std::uint8_t value1, value2;
    bool startHidden; // every flag starts at 1 instead of 0
    Hidden expected;
    bool pageTreeChanged, currentPageChanged;
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const VisibilityCase& c, std::ostream* os) {
    *os << c.what;
}

class Visibility : public testing::TestWithParam<VisibilityCase> {};

void SetAll(ControlNode& node, std::uint8_t hidden) {
    for (auto& child : node.children) {
        child->hidden = hidden;
        for (auto& set : child->sets) {
            set->hidden = hidden;
        }
        SetAll(*child, hidden);
    }
}

TEST_P(Visibility, FollowsTheConditionSources) {
    const auto& c = GetParam();
    auto root = Fixture();
    ASSERT_EQ(root->children.size(), 4u);
    SetAll(*root, c.startHidden ? 1 : 0);
    root->children[0]->sets[0]->items[0].value = c.value1;
    root->children[0]->sets[1]->items[0].value = c.value2;

    ConditionValues values = {{{0, 0, 0}, 0}}; // replaced by the run
    VisibilityMarks marks;
    VisibilityEvaluator::RecomputeVisibility(*root, values, marks);
    EXPECT_EQ(values, (ConditionValues{{{0, 9, 1}, c.value1}, {{0, 9, 2}, c.value2}}));
    EXPECT_EQ(Read(*root), c.expected);
    EXPECT_EQ(marks.pageTreeChanged, c.pageTreeChanged);
    EXPECT_EQ(marks.currentPageChanged, c.currentPageChanged);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Visibility,
    testing::Values(
        // Inner inherits Dep's condition (2..2); the set needs source 2 at 0; Always takes
        // 0..255; Orphan's address has no source, so its flag is never touched.
        VisibilityCase{"all shown", 2, 0, false, {0, 0, 0, 0, 0}, false, false},
        VisibilityCase{"below the bound", 1, 0, false, {1, 1, 0, 0, 0}, true, false},
        VisibilityCase{"above the bound", 3, 0, false, {1, 1, 0, 0, 0}, true, false},
        VisibilityCase{"set hidden only", 2, 5, false, {0, 0, 0, 0, 1}, false, true},
        VisibilityCase{"both", 3, 255, false, {1, 1, 0, 0, 1}, true, true},
        VisibilityCase{"shown again", 2, 0, true, {0, 0, 0, 1, 0}, true, true},
        VisibilityCase{"stay hidden", 0, 1, true, {1, 1, 0, 1, 1}, true, false}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(Visibility, TheLastSourceOfAnAddressDecides) {
    const std::string first = R"({"address": [0, 9, 1], "name": "a", "flag": 1})";
    const std::string second = R"({"address": [0, 9, 1], "name": "b", "flag": 1})";
    auto root = ParseBytes(Encode(R"({"records": [
        {"group": "Src", "children": [)" +
                                  SetRecord(first) + "," + SetRecord(second) + R"(]},
        {"group": "Dep", "condition": )" +
                                  Condition(1, 2, 2) + R"(, "children": [)" +
                                  SetRecord(NumericItem(3, "x")) + R"(]}]})"));
    const struct {
        std::uint8_t first, second, hidden;
    } cases[] = {{2, 5, 1}, {5, 2, 0}, {2, 2, 0}, {5, 5, 1}};
    for (const auto& c : cases) {
        root->children[1]->hidden = 0;
        root->children[0]->sets[0]->items[0].value = c.first;
        root->children[0]->sets[1]->items[0].value = c.second;
        ConditionValues values;
        VisibilityMarks marks;
        VisibilityEvaluator::RecomputeVisibility(*root, values, marks);
        EXPECT_EQ(root->children[1]->hidden, c.hidden) << int(c.first) << "," << int(c.second);
    }
}

TEST(Visibility, CollectsSourcesSetsFirstThenChildren) {
    const auto item = [](int c, int flag) {
        return R"({"address": [0, 9, )" + std::to_string(c) + R"(], "name": "n", "flag": )" +
               std::to_string(flag) + "}";
    };
    const auto root =
        ParseBytes(Encode(R"({"records": [{"group": "A", "children": [
        {"group": "B", "children": [)" +
                          SetRecord(item(3, 1)) + R"(]},
        )" + SetRecord(item(1, 1)) +
                          "," + SetRecord(item(9, 0)) + "," + SetRecord(item(2, 1)) + R"(]}]})"));
    ConditionValues values;
    VisibilityEvaluator::CollectConditionValues(*root, values);
    EXPECT_EQ(values, (ConditionValues{{{0, 9, 1}, 0}, {{0, 9, 2}, 0}, {{0, 9, 3}, 0}}));
}

} // namespace
