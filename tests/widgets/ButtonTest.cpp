#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinRepeatButton.h"
#include "widgets/SkinFixture.h"

namespace {

const QColor kUp(200, 0, 0), kDown(0, 0, 200), kOver(0, 160, 0), kDisabled(90, 90, 90),
    kDownDisabled(120, 120, 0);
const QColor kTextUp(255, 255, 0), kTextOver(0, 255, 255), kTextDown(255, 128, 0),
    kTextDisabled(128, 0, 128), kTextDownDisabled(0, 128, 128);

// A 40 x 20 button whose five state images have a 6 x 6 magenta top-left corner.
std::string ButtonSkin(SkinFixture& skin, const std::string& extra = "") {
    const std::pair<const char*, QColor> images[] = {{"up", kUp},
                                                     {"down", kDown},
                                                     {"over", kOver},
                                                     {"disabled", kDisabled},
                                                     {"down_disabled", kDownDisabled}};
    std::string script;
    for (const auto& [key, colour] : images) {
        skin.Image(std::string(key) + ".bmp", WithCorner(40, 20, colour, 6, kMagenta));
        script += "IMAGE(Btn::" + std::string(key) + ", \"" + key + ".bmp\")\n";
    }
    return script +
           "LONG(Btn::bkcolormask, #FF00FF)\n"
           "LONG(Btn::offset_left, 10) LONG(Btn::offset_top, 10)\n"
           "LONG(Btn::draw_text, 1) STRING(Btn::caption, \"MM\")\n"
           "LONG(Btn::font_height, 16) LONG(Btn::bold, 1)\n"
           "LONG(Btn::text_color_up, " +
           Hex(kTextUp) + ") LONG(Btn::text_color_over, " + Hex(kTextOver) +
           ")\n"
           "LONG(Btn::text_color_down, " +
           Hex(kTextDown) + ") LONG(Btn::text_color_disabled, " + Hex(kTextDisabled) +
           ")\n"
           "LONG(Btn::text_color_down_disabled, " +
           Hex(kTextDownDisabled) + ")\n" + extra;
}

// A black host for the widgets under test, so cut-out parts show black.
struct Host : QWidget {
    Host() {
        QPalette colours = palette();
        colours.setColor(QPalette::Window, Qt::black);
        setPalette(colours);
        setAutoFillBackground(true);
        resize(300, 200);
        show();
    }
};

int CountPixels(const QImage& image, const QRect& area, QColor colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

struct StateCase {
    const char* name;
    bool enabled;
    bool stuck;
    bool hover;
    CSkinButton::State state;
    QColor image;
    QColor text;
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const StateCase& c, std::ostream* os) {
    *os << c.name;
}

class ButtonStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(ButtonStateTest, DrawsTheStateImageAndCaptionColourOfTheTable) {
    const StateCase& c = GetParam();
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ButtonSkin(skin)));
    Host host;
    CSkinButton button("Btn", &skin.manager);
    button.Create(&host, 200);
    ASSERT_EQ(button.geometry(), QRect(10, 10, 40, 20));
    button.setEnabled(c.enabled);
    button.SetStuck(c.stuck);
    if (c.hover) {
        HoverAt(&button, QPoint(30, 15));
        EXPECT_TRUE(button.IsHovering());
    }
    EXPECT_EQ(button.CurrentState(), c.state);

    const QImage shot = host.grab().toImage();
    EXPECT_EQ(shot.pixelColor(48, 28), c.image);
    EXPECT_EQ(shot.pixelColor(11, 11), QColor(Qt::black)) << "the cut-out corner shows the host";
    const QRect area = button.geometry();
    EXPECT_GT(CountPixels(shot, area, c.text), 4);
    for (QColor other : {kTextUp, kTextOver, kTextDown, kTextDisabled, kTextDownDisabled}) {
        if (other != c.text) {
            EXPECT_EQ(CountPixels(shot, area, other), 0) << other.name().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, ButtonStateTest,
    ::testing::Values(
        StateCase{"up", true, false, false, CSkinButton::State::Up, kUp, kTextUp},
        StateCase{"over", true, false, true, CSkinButton::State::Over, kOver, kTextOver},
        StateCase{"stuck", true, true, false, CSkinButton::State::Down, kDown, kTextDown},
        StateCase{"stuckOver", true, true, true, CSkinButton::State::Down, kDown, kTextDown},
        // The disabled rows take their caption colours crosswise.
        StateCase{"disabled", false, false, false, CSkinButton::State::Disabled, kDisabled,
                  kTextDownDisabled},
        StateCase{"downDisabled", false, true, false, CSkinButton::State::DownDisabled,
                  kDownDisabled, kTextDisabled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Button, PressedShowsTheDownImage) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ButtonSkin(skin)));
    Host host;
    CSkinButton button("Btn", &skin.manager);
    button.Create(&host, 200);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(button.CurrentState(), CSkinButton::State::Down);
    EXPECT_EQ(host.grab().toImage().pixelColor(48, 28), kDown);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_FALSE(button.IsStuck());
}

struct CornerCase {
    int rectShape;
    bool cornerCounts;
};

class ButtonCornerTest : public ::testing::TestWithParam<CornerCase> {};

TEST_P(ButtonCornerTest, AMaskedCornerNeitherHighlightsNorClicks) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(
        ButtonSkin(skin, "LONG(Btn::rgn_rect, " + std::to_string(GetParam().rectShape) + ")\n")));
    Host host;
    CSkinButton button("Btn", &skin.manager);
    button.Create(&host, 200);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    HoverAt(&button, QPoint(2, 2));
    EXPECT_EQ(button.IsHovering(), GetParam().cornerCounts);
    EXPECT_EQ(button.CurrentState(),
              GetParam().cornerCounts ? CSkinButton::State::Over : CSkinButton::State::Up);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicks.count(), GetParam().cornerCounts ? 1 : 0);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(30, 15));
    EXPECT_EQ(clicks.count(), GetParam().cornerCounts ? 2 : 1);
    EXPECT_EQ(button.Shape().contains(QPoint(2, 2)), GetParam().cornerCounts);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ButtonCornerTest,
                         ::testing::Values(CornerCase{0, false}, CornerCase{1, true}));

TEST(Button, AStickyButtonLatchesOnClickAndStaysDown) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ButtonSkin(skin, "LONG(Btn::stick, 1)\n")));
    Host host;
    CSkinButton button("Btn", &skin.manager);
    button.Create(&host, 200);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(button.IsStuck()) << "a release outside the shape makes no click and no latch";
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(button.IsStuck());
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(button.CurrentState(), CSkinButton::State::Down);
    EXPECT_EQ(host.grab().toImage().pixelColor(48, 28), kDown);
    button.SetStuck(false);
    button.repaint();
    EXPECT_EQ(host.grab().toImage().pixelColor(48, 28), kUp);
}

// A shortcut presses the key without a mouse: the latched key is drawn down at once, not at
// the next time something else makes it paint.
TEST(Button, AStickyButtonPressedByAShortcutIsDrawnDown) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ButtonSkin(skin, "LONG(Btn::stick, 1)\n")));
    Host host;
    CSkinButton button("Btn", &skin.manager);
    button.Create(&host, 200);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    struct PaintCount : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    QCoreApplication::processEvents();
    button.installEventFilter(&counter);
    button.Press();
    QCoreApplication::processEvents();
    EXPECT_TRUE(button.IsStuck());
    EXPECT_GT(counter.paints, 0) << "the latched key was not drawn again";
    button.removeEventFilter(&counter);
}

TEST(Button, MeasureCaptionAddsTheMargins) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ButtonSkin(skin, "LONG(Btn::x_margin, 7) LONG(Btn::y_margin, 3)\n")));
    CSkinButton button("Btn", &skin.manager);
    button.Create(nullptr, 1);
    const QSize text = QFontMetrics(button.CaptionFont()).size(Qt::TextSingleLine, "Hello");
    EXPECT_EQ(button.MeasureCaption("Hello"), text + QSize(7, 3));
    EXPECT_EQ(button.CaptionFont().pixelSize(), 16);
    EXPECT_TRUE(button.CaptionFont().bold());
}

TEST(Button, TheTooltipWaitsTheSkinsDelay) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ButtonSkin(skin, "STRING(Btn::tip, \"Connect\") "
                                           "LONG(Btn::tip_delay, 100)\n")));
    Host host;
    CSkinButton button("Btn", &skin.manager);
    button.Create(&host, 200);
    EXPECT_EQ(button.TipTimer().interval(), 100);
    HoverAt(&button, QPoint(30, 15));
    ASSERT_TRUE(button.IsHovering());
    EXPECT_TRUE(button.TipTimer().isActive());
    PointerLeaves(&button);
    EXPECT_FALSE(button.IsHovering());
    EXPECT_FALSE(button.TipTimer().isActive());
}

// Button group: "Button" images 20 x 10, captions measured with a 100-pixel margin, so the
// widest caption is between 100 and 120 pixels wide.
std::string GroupSkin(SkinFixture& skin) {
    skin.Image("b.bmp", Filled(20, 10, Qt::darkBlue));
    skin.Image("g.bmp", Filled(30, 30, Qt::darkGray));
    return "IMAGE(Button::up, \"b.bmp\") LONG(Button::font_height, 10)\n"
           "LONG(Button::x_margin, 100) LONG(Button::y_margin, 4) LONG(Button::stick, 1)\n"
           "IMAGE(ButtonGroup::background, \"g.bmp\") LONG(ButtonGroup::resize_line_x, 15)\n"
           "LONG(ButtonGroup::resize_line_y, 15) LONG(ButtonGroup::height, 30)\n"
           "LONG(ButtonGroup::width, 100)\n"
           "LONG(ButtonGroup::buttons_ofs_left, 4) LONG(ButtonGroup::buttons_ofs_top, 4)\n"
           "LONG(ButtonGroup::buttons_ofs_right, 4) LONG(ButtonGroup::buttons_ofs_bottom, 4)\n";
}

struct LayoutCase {
    int width;
    int buttons;
    int columns;
    int rows;
};

class GroupLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(GroupLayoutTest, WrapsToTheColumnsThatFitAndGrowsInHeight) {
    const LayoutCase& c = GetParam();
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(GroupSkin(skin)));
    Host host;
    CSkinButtonGroup group(&skin.manager);
    group.Create(&host, 77, QPoint(0, 0));
    group.resize(c.width, group.height());
    QStringList captions;
    for (int i = 0; i < c.buttons; ++i) {
        captions << QString(QChar('A' + i));
    }
    group.SetButtons(captions);

    EXPECT_EQ(group.Columns(), c.columns);
    EXPECT_EQ(group.Rows(), c.rows);
    const int cellWidth = (c.width - 8) / c.columns;
    EXPECT_EQ(group.size(), QSize(c.columns * cellWidth + 8, c.rows * 22 + 8));
    ASSERT_EQ(group.Buttons().size(), static_cast<size_t>(c.buttons));
    for (int i = 0; i < c.buttons; ++i) {
        const QRect expected(4 + (i % c.columns) * cellWidth + 1, 4 + (i / c.columns) * 22 + 1,
                             cellWidth - 1, 21);
        EXPECT_EQ(group.Buttons()[static_cast<size_t>(i)]->geometry(), expected) << i;
        EXPECT_EQ(group.Buttons()[static_cast<size_t>(i)]->text(), captions[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, GroupLayoutTest,
                         ::testing::Values(LayoutCase{808, 5, 5, 1}, LayoutCase{250, 5, 2, 3},
                                           LayoutCase{50, 1, 1, 1}));

TEST(ButtonGroup, OneButtonIsLatchedAndOnlyAClickNotifies) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(GroupSkin(skin)));
    Host host;
    CSkinButtonGroup group(&skin.manager);
    group.Create(&host, 77, QPoint(0, 0));
    group.resize(250, group.height());
    group.SetButtons({"A", "B", "C", "D", "E"});
    QSignalSpy selections(&group, &CSkinButtonGroup::selected);
    const auto click = [&](int i) {
        QTest::mouseClick(group.Buttons()[static_cast<size_t>(i)].get(), Qt::LeftButton, {},
                          QPoint(5, 5));
    };

    // The selection is reported from the event loop, once the click is over.
    click(2);
    EXPECT_EQ(group.Selection(), 2);
    ASSERT_TRUE(selections.wait(2000));
    ASSERT_EQ(selections.count(), 1);
    EXPECT_EQ(selections[0][0].toUInt(), 77u);
    EXPECT_EQ(selections[0][1].toInt(), 2);
    click(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(selections.count(), 1) << "the latched button does not notify again";
    click(0);
    ASSERT_TRUE(selections.wait(2000));
    ASSERT_EQ(selections.count(), 2);
    EXPECT_EQ(selections[1][1].toInt(), 0);
    EXPECT_FALSE(group.Buttons()[2]->IsStuck());
    group.SetSelection(4);
    QCoreApplication::processEvents();
    EXPECT_EQ(selections.count(), 2);
    EXPECT_EQ(group.Selection(), 4);
    EXPECT_FALSE(group.Buttons()[0]->IsStuck());

    group.setEnabled(false);
    for (const auto& button : group.Buttons()) {
        EXPECT_FALSE(button->isEnabled());
    }
}

// A group as the page shows it: five buttons, "B" latched.
struct GroupOnHost {
    GroupOnHost() {
        loaded = skin.Load(GroupSkin(skin));
        group->Create(&host, 77, QPoint(0, 0));
        group->SetButtons({"A", "B", "C", "D", "E"}, 250);
        group->SetSelection(1);
    }
    void Click(int i) {
        QTest::mouseClick(group->Buttons()[static_cast<size_t>(i)].get(), Qt::LeftButton, {},
                          QPoint(5, 5));
    }
    SkinFixture skin;
    bool loaded = false;
    Host host;
    QPointer<CSkinButtonGroup> group = new CSkinButtonGroup(&skin.manager);
};

// What a receiver and the group's own OnSelect find when they hear of the selection.
class RecordingGroup : public CSkinButtonGroup {
public:
    using CSkinButtonGroup::CSkinButtonGroup;
    std::vector<int> stuckAtSelect;

protected:
    void OnSelect(int) override {
        for (size_t i = 0; i < Buttons().size(); ++i) {
            if (Buttons()[i]->IsStuck()) {
                stuckAtSelect.push_back(static_cast<int>(i));
            }
        }
    }
};

TEST(ButtonGroup, TheOtherButtonsAreReleasedBeforeAnyoneHearsOfTheSelection) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(GroupSkin(skin)));
    Host host;
    RecordingGroup group(&skin.manager);
    group.Create(&host, 77, QPoint(0, 0));
    group.SetButtons({"A", "B", "C"}, 250);
    group.SetSelection(0);
    std::vector<int> stuckAtSignal;
    QObject::connect(&group, &CSkinButtonGroup::selected, &group, [&] {
        for (size_t i = 0; i < group.Buttons().size(); ++i) {
            if (group.Buttons()[i]->IsStuck()) {
                stuckAtSignal.push_back(static_cast<int>(i));
            }
        }
    });
    QTest::mouseClick(group.Buttons()[2].get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(group.stuckAtSelect, std::vector<int>{2});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !stuckAtSignal.empty(); }, 2000));
    EXPECT_EQ(stuckAtSignal, std::vector<int>{2});
}

TEST(ButtonGroup, AReceiverMayDestroyTheGroupInAnswerToASelection) {
    GroupOnHost g;
    ASSERT_TRUE(g.loaded);
    int heard = -1;
    // As a page rebuilt in answer would: the group and its buttons go at once.
    QObject::connect(g.group, &CSkinButtonGroup::selected, g.group, [&](unsigned, int index) {
        heard = index;
        delete g.group.data();
    });
    g.Click(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return g.group.isNull(); }, 2000));
    EXPECT_EQ(heard, 3);
}

struct GroupHeightCase {
    const char* name;
    int skinHeight;   // the section's "height", 0 for none
    int callerHeight; // what the owner passes to SetButtons
    int buttons;
    int rowHeight; // -1: the caption's height
};
void PrintTo(const GroupHeightCase& c, std::ostream* os) {
    *os << c.name;
}

class GroupHeightTest : public ::testing::TestWithParam<GroupHeightCase> {};

// The inner margins are 4 pixels on every side; the widest caption is about 110 pixels.
TEST_P(GroupHeightTest, RowsTakeTheCallersOrTheSkinsHeightButNeverLessThanACaption) {
    const GroupHeightCase& c = GetParam();
    SkinFixture skin;
    std::string script = GroupSkin(skin);
    script.replace(script.find("LONG(ButtonGroup::height, 30)"), 29,
                   "LONG(ButtonGroup::height, " + std::to_string(c.skinHeight) + ")");
    ASSERT_TRUE(skin.Load(script));
    Host host;
    CSkinButtonGroup group(&skin.manager);
    group.Create(&host, 77, QPoint(0, 0));
    QStringList captions;
    for (int i = 0; i < c.buttons; ++i) {
        captions << QString(QChar('A' + i));
    }
    group.SetButtons(captions, 250, c.callerHeight);
    const int captionHeight = group.Buttons().front()->MeasureCaption("A").height();
    ASSERT_GT(captionHeight, 12);
    ASSERT_LT(captionHeight, 30);
    const int rowHeight = c.rowHeight < 0 ? captionHeight : c.rowHeight;
    EXPECT_EQ(group.Rows(), (c.buttons + 1) / 2);
    EXPECT_EQ(group.height(), group.Rows() * rowHeight + 8);
    EXPECT_EQ(group.Buttons().back()->height(), rowHeight - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Heights, GroupHeightTest,
    ::testing::Values(GroupHeightCase{"skinHeightWhenTheCallerGivesNone", 40, -1, 2, 32},
                      GroupHeightCase{"skinHeightPerRow", 40, -1, 5, 32},
                      GroupHeightCase{"captionHeightWithoutEither", 0, -1, 3, -1},
                      GroupHeightCase{"captionHeightWhenTheSkinIsLower", 10, -1, 2, -1},
                      GroupHeightCase{"callerHeightOverTheSkins", 40, 60, 2, 52},
                      GroupHeightCase{"captionHeightWhenTheCallerIsLower", 40, 12, 2, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RepeatButton, StepsOnceAtOnceThenRepeatsWhileHeld) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(ButtonSkin(skin)));
    Host host;
    QTreeWidget list(&host);
    list.setGeometry(100, 0, 100, 60);
    list.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int i = 0; i < 100; ++i) {
        new QTreeWidgetItem(&list, QStringList{QString::number(i)});
    }
    list.show();
    CSkinRepeatButton down("Btn", &skin.manager);
    down.Create(&host, 257);
    down.SetTarget(&list, CSkinRepeatButton::Direction::LineDown);
    QScrollBar* bar = list.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 10);

    QTest::mousePress(&down, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(bar->value(), 1);
    EXPECT_TRUE(down.IsHeld());
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() >= 4; }, 5000));
    QTest::mouseRelease(&down, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_FALSE(down.IsHeld());

    CSkinRepeatButton up("Btn", &skin.manager);
    up.Create(&host, 256);
    up.SetTarget(&list, CSkinRepeatButton::Direction::LineUp);
    const int before = bar->value();
    QTest::mouseClick(&up, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(bar->value(), before - 1);
}

} // namespace
