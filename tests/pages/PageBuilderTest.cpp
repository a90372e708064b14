#include <QFontMetrics>

#include "pages/PagesFixture.h"
#include "pages/ParamButtonGroup.h"
#include "pages/ParamSlider.h"
#include "pages/ParamSpin.h"
#include "pages/ParamSpinEdit.h"
#include "pages/SpinFieldScale.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinStatic.h"

namespace {

std::vector<CSkinStatic*> StaticsOf(const ParameterPage& page, const std::string& section) {
    std::vector<CSkinStatic*> found;
    for (CSkinStatic* text : ControlsOf<CSkinStatic>(page)) {
        if (text->Section() == section) {
            found.push_back(text);
        }
    }
    return found;
}

std::shared_ptr<ControlNode> OnePage(const std::string& sets) {
    return ParseBytes(Encode(R"({"records": [{"group": "Page", "children": [)" + sets + "]}]}"));
}

TEST(PageBuilder, PlacesASliderItsCaptionAndItsValueByTheBox) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    // Box width 20, height 15, left 1, top 2: X 10, Y 20, W 200, H 150.
    const auto root = OnePage(SetRecord(NumericItem(1, "Drive")));
    root->children[0]->sets[0]->items[0].value = 40;
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);

    const auto sliders = ControlsOf<ParamSlider>(*page);
    ASSERT_EQ(sliders.size(), 1u);
    EXPECT_EQ(sliders[0]->geometry(), QRect(90, 60, 40, 110));
    const auto captions = StaticsOf(*page, "SliderCaption");
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(captions[0]->geometry(), QRect(10, 20, 200, 13));
    EXPECT_EQ(captions[0]->Caption(), "Drive");
    const auto values = StaticsOf(*page, "SliderValue");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0]->geometry(), QRect(10, 33, 200, 27));
    // minimum -200, step 5, one decimal: range -40 .. 0, and the value 40 is the top.
    EXPECT_EQ(sliders[0]->minimum(), -40);
    EXPECT_EQ(sliders[0]->maximum(), 0);
    EXPECT_EQ(sliders[0]->value(), -40);
    EXPECT_EQ(values[0]->Caption(), "0.0 dB");
    ASSERT_EQ(h.model.Registry().Size(), 1u);
    EXPECT_EQ(h.model.Registry().Entries()[0].item, &sliders[0]->Item());
}

TEST(PageBuilder, LaysThreeSpinFieldsOverTheTextRectangle) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    // A spin 120 wide: its arrows take 20, leaving a text rectangle 100 wide. (Units of a
    // time would put ":" between the fields: SpinUnitsTest.)
    const auto root = OnePage(R"({"style": 2, "box": {"width": 12, "height": 3, "left": 2,
        "top": 5}, "items": [
        {"kind": 0, "address": [5, 0, 0], "name": "Time  of_Day", "unit": "", "span": 23,
         "minimum": 0, "step": 1, "format": 10},
        {"kind": 0, "address": [5, 0, 1], "name": "M in", "unit": "", "span": 59,
         "minimum": 0, "step": 1, "format": 10},
        {"kind": 0, "address": [5, 0, 2], "name": "S ec", "unit": "", "span": 59,
         "minimum": 0, "step": 1, "format": 10}]})");
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);

    const auto spins = ControlsOf<ParamSpin>(*page);
    ASSERT_EQ(spins.size(), 1u);
    EXPECT_EQ(spins[0]->geometry(), QRect(20, 50, 120, 30));
    const QRect text = spins[0]->GetTextRect();
    ASSERT_EQ(text.width(), 100);
    const auto captions = StaticsOf(*page, "SpinCaption");
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(captions[0]->geometry(), QRect(20, 37, 120, 13));
    EXPECT_EQ(captions[0]->Caption(), "Time ofDay");

    const auto fields = ControlsOf<ParamSpinEdit>(*page);
    ASSERT_EQ(fields.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fields[i]->parentWidget(), spins[0]);
        EXPECT_EQ(fields[i]->geometry(),
                  QRect(text.left() + 32 * i + 2, text.top() + 2, 31, text.height() - 4));
        EXPECT_EQ(fields[i]->FieldNumber(), 2 - i);
        EXPECT_EQ(fields[i]->Item().style, 2);
    }
    std::vector<CSkinEdit*> dividers;
    for (CSkinEdit* edit : ControlsOf<CSkinEdit>(*page)) {
        if (edit->Section() == "SpinStatic") {
            dividers.push_back(edit);
        }
    }
    ASSERT_EQ(dividers.size(), 2u);
    EXPECT_EQ(dividers[0]->geometry(),
              QRect(text.left() + 32, text.top() + 2, 2, text.height() - 4));
    EXPECT_EQ(dividers[1]->geometry(),
              QRect(text.left() + 64, text.top() + 2, 2, text.height() - 4));
    EXPECT_EQ(dividers[0]->text(), "Min");
    // Three fields, registered in item order; the spin's first field is the last item.
    ASSERT_EQ(h.model.Registry().Size(), 3u);
    EXPECT_EQ(h.model.Registry().Entries()[0].item->address, (ParamAddress{5, 0, 0}));
    EXPECT_EQ(spins[0]->FieldCount(), 3);
    EXPECT_EQ(spins[0]->Fields()[0], fields[2]);
}

TEST(PageBuilder, SplitsTheCaptionLineAtEachMark) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    const auto root = OnePage(SetRecord(NumericItem(1, "x")));
    const std::string caption = "Dynamics > Bands";
    const auto page = h.Build(*root->children[0], caption);
    ASSERT_NE(page, nullptr);

    const auto lines = StaticsOf(*page, "FrameCaption");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->Caption(), QString(16, ' '));
    EXPECT_EQ(lines[0]->geometry(), QRect(0, 0, 600, 20));
    EXPECT_EQ(lines[1]->Caption(), "Dynamics");
    EXPECT_EQ(lines[2]->Caption(), " Bands");
    const QFontMetrics metrics(lines[0]->TextFont());
    const int start = (600 - metrics.horizontalAdvance(QString::fromStdString(caption))) / 2;
    const int first = metrics.horizontalAdvance("Dynamics");
    EXPECT_EQ(lines[1]->geometry(), QRect(start, 0, first, 20));
    const auto separators = StaticsOf(*page, "Separator");
    ASSERT_EQ(separators.size(), 1u);
    EXPECT_EQ(separators[0]->geometry(), QRect(start + first, 2, 14, 16));
    EXPECT_EQ(lines[2]->geometry(),
              QRect(start + first + 14, 0, metrics.horizontalAdvance(" Bands"), 20));
    EXPECT_TRUE(lines[2]->isVisibleTo(page.get()));
}

TEST(PageBuilder, HiddenSetsKeepZeroSizedControlsAndStyleThreeBuildsNothing) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    auto root =
        OnePage(SetRecord(NumericItem(1, "a")) + "," + SetRecord(NumericItem(2, "b"), "null", 1) +
                "," + SetRecord(NumericItem(3, "c"), "null", 2) + "," +
                SetRecord(NumericItem(4, "d"), "null", 3));
    for (auto& set : root->children[0]->sets) {
        set->hidden = 1;
    }
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);
    // One slider, one group, one spin field: style 3 adds nothing.
    ASSERT_EQ(h.model.Registry().Size(), 3u);
    EXPECT_EQ(h.model.Registry().Entries()[2].item->address, (ParamAddress{0, 1, 3}));
    int zeroSized = 0;
    for (const auto& control : page->Controls()) {
        if (dynamic_cast<CSkinStatic*>(control.get()) != nullptr &&
            static_cast<CSkinStatic*>(control.get())->Section() == "FrameCaption") {
            continue;
        }
        EXPECT_EQ(control->geometry(), QRect(0, 0, 0, 0)) << control->metaObject()->className();
        ++zeroSized;
    }
    // Slider with caption and value, group, spin with caption and field.
    EXPECT_EQ(zeroSized, 7);
}

TEST(PageBuilder, NoSetsNoPage) {
    PageHarness h;
    ControlNode empty;
    EXPECT_EQ(h.Build(empty, "x"), nullptr);
    EXPECT_EQ(PageBuilder(h.Context())
                  .BuildPage(&h.host.window, QSize(10, 10), nullptr, "x", h.presetFields),
              nullptr);
}

struct LabelCase {
    const char* name;
    std::string item;
    QStringList labels;
};

class GroupLabels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(GroupLabels, FollowTheItem) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    const auto root = OnePage(R"({"style": 1, "box": {"width": 30, "height": 5, "left": 1,
        "top": 4}, "items": [)" +
                              GetParam().item + "]}");
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);
    const auto groups = ControlsOf<ParamButtonGroup>(*page);
    ASSERT_EQ(groups.size(), 1u);
    QStringList shown;
    for (const auto& button : groups[0]->Buttons()) {
        shown.push_back(button->text());
    }
    EXPECT_EQ(shown, GetParam().labels);
    EXPECT_EQ(groups[0]->pos(), QPoint(10, 34));
    // Laid out over the set's width: whole cells plus the margins (4 + 4).
    ASSERT_GT(groups[0]->Columns(), 0);
    EXPECT_EQ(groups[0]->width(), groups[0]->Columns() * (292 / groups[0]->Columns()) + 8);
    EXPECT_EQ(groups[0]->Caption(), "Mode");
}

INSTANTIATE_TEST_SUITE_P(
    PageBuilder, GroupLabels,
    ::testing::Values(
        LabelCase{"StarredEntriesDropTheStarAndTheUnit",
                  R"({"kind": 1, "address": [0, 1, 1], "name": "Mode", "unit": "dB",
                      "entries": ["*Off", "Lo*w", "Mid"]})",
                  {"Off", "Low", "Mid dB"}},
        LabelCase{"NumericItemsCountFromTheLowestIndex",
                  R"({"kind": 0, "address": [0, 1, 1], "name": "Mode", "unit": "dB", "span": 3,
                      "minimum": -10, "step": 5, "format": 0})",
                  {"-2", "-1", "0", "1"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCase {
    const char* name;
    int format;
    int minimum;
    int step;
    const char* expected;
    double lowest;
    double highest;
    double fieldStep;
};

class SpinFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SpinFormats, ComeFromTheFormatBits) {
    const FormatCase& c = GetParam();
    ParamItem item;
    item.kind = ParamItem::Numeric;
    item.format = static_cast<std::uint8_t>(c.format);
    item.minimum = c.minimum;
    item.step = c.step;
    item.span = 10;
    EXPECT_EQ(SpinFieldScale::Format(item), c.expected);
    const SpinFieldScale scale(item);
    EXPECT_DOUBLE_EQ(scale.Minimum(), c.lowest);
    EXPECT_DOUBLE_EQ(scale.Maximum(), c.highest);
    EXPECT_DOUBLE_EQ(scale.Step(), c.fieldStep);
    // Every device value comes back from its field value.
    for (int v = 0; v <= 10; ++v) {
        EXPECT_EQ(scale.ToDevice(scale.FromDevice(static_cast<std::uint8_t>(v))), v);
    }
    // Values beyond the range go to its ends; a negative step puts device value 0 on top.
    const int top = scale.ToDevice(c.highest);
    const int bottom = scale.ToDevice(c.lowest);
    EXPECT_EQ(std::min(top, bottom), 0);
    EXPECT_EQ(std::max(top, bottom), 10);
    EXPECT_EQ(scale.ToDevice(c.highest + 100 * c.fieldStep), top);
    EXPECT_EQ(scale.ToDevice(c.lowest - 100 * c.fieldStep), bottom);
}

INSTANTIATE_TEST_SUITE_P(
    PageBuilder, SpinFormats,
    ::testing::Values(
        // Width 2, zero padded: the clock's fields.
        FormatCase{"PaddedWidthTwo", 0x0A, 0, 1, "%02.0f", 0, 10, 1},
        FormatCase{"PlainWidthThree", 0x03, 1, 1, "%3.0f", 1, 11, 1},
        // One decimal and a step of 5 tenths: -18.0 .. -13.0 by 0.5.
        FormatCase{"DecimalsShowDisplayUnits", 0x14, -180, 5, "%4.1f", -18, -13, 0.5},
        FormatCase{"NegativeStepRunsDownwards", 0x02, 0, -2, "%2.0f", -20, 0, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageBuilder, SpinFieldsOfEachKind) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    const auto root = OnePage(R"(
        {"style": 2, "box": {"width": 16, "height": 3, "left": 1, "top": 2},
         "items": [{"kind": 2, "address": [1, 2, 0], "name": "Preset", "unit": "", "span": 64}]},
        {"style": 2, "box": {"width": 16, "height": 3, "left": 1, "top": 6},
         "items": [{"kind": 1, "address": [1, 2, 1], "name": "Source", "unit": "",
                    "entries": ["Analog", "Digital"]}]},
        {"style": 2, "box": {"width": 16, "height": 3, "left": 1, "top": 10},
         "items": [{"kind": 0, "address": [1, 2, 2], "name": "Trim", "unit": "dB", "span": 240,
                    "minimum": -120, "step": 1, "format": 20}]})");
    root->children[0]->sets[1]->items[0].value = 1;
    root->children[0]->sets[2]->items[0].value = 125;
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);
    const auto fields = ControlsOf<ParamSpinEdit>(*page);
    ASSERT_EQ(fields.size(), 3u);
    // The preset-name field waits for its texts and is listed for them.
    ASSERT_EQ(h.presetFields.size(), 1u);
    EXPECT_EQ(h.presetFields[0].field, 0);
    EXPECT_EQ(fields[0]->text(), "");
    h.presetFields[0].spin->SetItems(0, {"Off", "U1: Speech"});
    fields[0]->ShowDeviceValue(1);
    EXPECT_EQ(fields[0]->text(), "U1: Speech");
    EXPECT_EQ(fields[1]->text(), "Digital");
    // -120 tenths as lowest index, so 125 shows 0.5 dB.
    EXPECT_EQ(fields[2]->text(), " 0.5 dB");
    // One step past the top: a lone list or number wraps round, a preset-name field stops at
    // its last name (wrapping would put "Off" on air).
    const auto spins = ControlsOf<ParamSpin>(*page);
    ASSERT_EQ(spins.size(), 3u);
    const struct {
        double pastTop;
        const char* shown;
    } steps[] = {{2, "U1: Speech"},
                 {2, "Analog"},
                 {fields[2]->Scale().Maximum() + fields[2]->Scale().Step(), "-12.0 dB"}};
    for (std::size_t i = 0; i < 3; ++i) {
        spins[i]->SetValue(steps[i].pastTop, 0, false);
        EXPECT_EQ(fields[i]->text().trimmed().toStdString(), steps[i].shown) << "field " << i;
    }
}

// What the operator reads over a control: a name's leading "*" is a mark for the tree and
// never shown, whichever control carries the name; a "*" elsewhere is part of the name.
struct CaptionCase {
    const char* name;
    int style;
    std::string itemName;
    QString shown;
};

class ShownCaptions : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(ShownCaptions, NeverShowTheNamesMark) {
    PageHarness h;
    ASSERT_TRUE(h.skinLoaded);
    const CaptionCase& c = GetParam();
    const std::string item = c.style == 1
                                 ? R"({"kind": 1, "address": [0, 1, 1], "name": ")" + c.itemName +
                                       R"(", "unit": "", "entries": ["Off", "On"]})"
                                 : R"({"kind": 0, "address": [0, 1, 1], "name": ")" + c.itemName +
                                       R"(", "unit": "dB", "span": 10,
                                       "minimum": 0, "step": 1, "format": 1})";
    const auto root = OnePage(R"({"style": )" + std::to_string(c.style) +
                              R"(, "box": {"width": 12, "height": 15, "left": 2, "top": 5},
                              "items": [)" +
                              item + "]}");
    const auto page = h.Build(*root->children[0], "Page");
    ASSERT_NE(page, nullptr);
    QString shown;
    if (c.style == 0) {
        const auto captions = StaticsOf(*page, "SliderCaption");
        ASSERT_EQ(captions.size(), 1u);
        shown = captions[0]->Caption();
    } else if (c.style == 1) {
        const auto groups = ControlsOf<ParamButtonGroup>(*page);
        ASSERT_EQ(groups.size(), 1u);
        shown = groups[0]->Caption();
    } else {
        const auto captions = StaticsOf(*page, "SpinCaption");
        ASSERT_EQ(captions.size(), 1u);
        shown = captions[0]->Caption();
    }
    EXPECT_EQ(shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    PageBuilder, ShownCaptions,
    ::testing::Values(CaptionCase{"SliderDropsTheMark", 0, "*Stereo Enhance", "Stereo Enhance"},
                      CaptionCase{"GroupDropsTheMark", 1, "*Stereo Enhance", "Stereo Enhance"},
                      CaptionCase{"SpinDropsTheMark", 2, "*Stereo_ Enhance", "Stereo Enhance"},
                      CaptionCase{"OnlyOneLeadingMarkGoes", 0, "**Wide", "*Wide"},
                      CaptionCase{"AStarInsideStays", 0, "Lo*w Cut", "Lo*w Cut"},
                      CaptionCase{"PlainNamesStayAsTheyAre", 0, "Drive", "Drive"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
