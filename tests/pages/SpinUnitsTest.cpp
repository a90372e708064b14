#include <QTest>

#include "pages/PagesFixture.h"
#include "pages/ParamSpin.h"
#include "pages/ParamSpinEdit.h"
#include "pages/SpinFieldUnit.h"
#include "widgets/CSkinEdit.h"

// Value fields show the unit the description gives their item; the fields of one time
// (hours, minutes, seconds) show ":" between them instead.
namespace {

std::shared_ptr<ControlNode> OneSpin(const std::string& items) {
    return ParseBytes(Encode(R"({"records": [{"group": "Page", "children": [
        {"style": 2, "box": {"width": 16, "height": 3, "left": 2, "top": 5}, "items": [)" +
                             items + "]}]}]}"));
}

std::string Numeric(const std::string& address, const std::string& unit, int span, int minimum,
                    int step, int format) {
    return R"({"kind": 0, "address": [)" + address + R"(], "name": "Part", "unit": ")" + unit +
           R"(", "span": )" + std::to_string(span) + R"(, "minimum": )" + std::to_string(minimum) +
           R"(, "step": )" + std::to_string(step) + R"(, "format": )" + std::to_string(format) +
           "}";
}

std::vector<CSkinEdit*> Dividers(const ParameterPage& page, const std::string& section) {
    std::vector<CSkinEdit*> found;
    for (CSkinEdit* edit : ControlsOf<CSkinEdit>(page)) {
        if (edit->Section() == section) {
            found.push_back(edit);
        }
    }
    return found;
}

struct UnitCase {
    const char* name;
    std::string items;
    std::vector<int> values;        // device values, in item order
    std::vector<std::string> shown; // the fields' texts, in item order
    int timeSeparators;             // ":" dividers
};

class SpinUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(SpinUnits, AreShownInTheFields) {
    const UnitCase& c = GetParam();
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    const auto root = OneSpin(c.items);
    auto& items = root->children[0]->sets[0]->items;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        items[i].value = static_cast<std::uint8_t>(c.values[i]);
    }
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);
    const auto fields = ControlsOf<ParamSpinEdit>(*page);
    ASSERT_EQ(fields.size(), c.shown.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i]->text().toStdString(), c.shown[i]) << "field " << i;
    }
    const auto colons = Dividers(*page, "SpinTimeStatic");
    ASSERT_EQ(static_cast<int>(colons.size()), c.timeSeparators);
    for (std::size_t i = 0; i < colons.size(); ++i) {
        EXPECT_EQ(colons[i]->text(), ":");
        // The ":" ends where the next field starts, over the end of the field before it,
        // which keeps its place and size.
        EXPECT_EQ(colons[i]->geometry().right() + 1, fields[i + 1]->geometry().left());
        EXPECT_GT(colons[i]->geometry().left(), fields[i]->geometry().left());
        EXPECT_GE(colons[i]->width(), colons[i]->fontMetrics().horizontalAdvance(':'));
    }
    // Other neighbours keep the two-pixel divider.
    EXPECT_EQ(Dividers(*page, "SpinStatic").size(), fields.size() - 1 - colons.size());
}

INSTANTIATE_TEST_SUITE_P(
    PageBuilder, SpinUnits,
    ::testing::Values(
        UnitCase{"DecibelsWithDecimals",
                 Numeric("1, 0, 0", "dB", 60, -180, 5, 20),
                 {6},
                 {"-15.0 dB"},
                 0},
        // printf's '%' sign is doubled in the format, shown once.
        UnitCase{"Percent", Numeric("1, 0, 1", "%", 20, 0, 5, 3), {2}, {" 10 %"}, 0},
        UnitCase{"NoUnitNoSpace", Numeric("1, 0, 2", "", 20, 0, 1, 2), {7}, {" 7"}, 0},
        // Latin-1 units are shown as the characters they are.
        UnitCase{
            "MicroSeconds", Numeric("1, 0, 3", "\xC2\xB5s", 20, 0, 1, 2), {7}, {" 7 \u00B5s"}, 0},
        UnitCase{"TimeOfDay",
                 Numeric("5, 0, 0", "h", 23, 0, 1, 10) + "," +
                     Numeric("5, 0, 1", "min", 59, 0, 1, 10) + "," +
                     Numeric("5, 0, 2", "s", 59, 0, 1, 10),
                 {6, 30, 5},
                 {"06", "30", "05"},
                 2},
        UnitCase{"HoursAndMinutes",
                 Numeric("1, 3, 0", "h", 23, 0, 1, 10) + "," +
                     Numeric("1, 3, 1", "min", 59, 0, 1, 10),
                 {23, 59},
                 {"23", "59"},
                 1},
        // Two levels are no time: each shows its unit, with the plain divider between.
        UnitCase{"TwoLevels",
                 Numeric("1, 4, 0", "dB", 20, 0, 1, 2) + "," +
                     Numeric("1, 4, 1", "dB", 20, 0, 1, 2),
                 {3, 4},
                 {" 3 dB", " 4 dB"},
                 0},
        // List entries take the unit as option groups show it; a "*" entry stands alone.
        UnitCase{"ListWithUnit",
                 R"({"kind": 1, "address": [1, 0, 2], "name": "Rate", "unit": "kHz",
                     "entries": ["32", "44.1"]})",
                 {1},
                 {"44.1 kHz"},
                 0},
        UnitCase{"ListEntryWithMark",
                 R"({"kind": 1, "address": [1, 0, 2], "name": "Rate", "unit": "kHz",
                     "entries": ["*Off", "48"]})",
                 {0},
                 {"*Off"},
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SpinUnits, ATypedValueWithItsUnitIsTakenAndShownWithIt) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    const auto root = OneSpin(Numeric("1, 0, 0", "dB", 60, -180, 5, 20));
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);
    ParamSpinEdit* field = ControlsOf<ParamSpinEdit>(*page).front();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "-12.5 dB");
    QTest::keyClick(field, Qt::Key_Return);
    // -12.5 is (-180 / 5 + v) * 0.5: v = 11.
    ASSERT_FALSE(h.link.writes.empty());
    EXPECT_EQ(h.link.writes.back().value, 11);
    EXPECT_EQ(field->text().toStdString(), "-12.5 dB");
}

TEST(SpinUnits, OnlyHoursMinutesAndSecondsInThatOrderMakeATime) {
    auto item = [](const char* unit) {
        ParamItem i;
        i.kind = ParamItem::Numeric;
        i.unit = unit;
        return i;
    };
    EXPECT_TRUE(SpinFieldUnit::IsTimeStep(item("h"), item("min")));
    EXPECT_TRUE(SpinFieldUnit::IsTimeStep(item("min"), item("s")));
    EXPECT_TRUE(SpinFieldUnit::IsTimeStep(item("Hours"), item("Minutes")));
    EXPECT_FALSE(SpinFieldUnit::IsTimeStep(item("min"), item("h")));
    EXPECT_FALSE(SpinFieldUnit::IsTimeStep(item("h"), item("s")));
    EXPECT_FALSE(SpinFieldUnit::IsTimeStep(item("ms"), item("s")));
    ParamItem list = item("h");
    list.kind = ParamItem::Enumeration;
    EXPECT_FALSE(SpinFieldUnit::IsTimeStep(list, item("min")));
}

} // namespace
