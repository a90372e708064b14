#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "widgets/CSkinSlider.h"
#include "widgets/CSkinSpin.h"
#include "widgets/SkinFixture.h"

namespace {

const QColor kTrack(40, 40, 40), kThumb(220, 220, 220), kTick(255, 255, 0);

// A slider 40 x 120 whose first tic lies 10 pixels below the top and the last 10 above the
// bottom; the thumb is 20 x 8 with its marking line 4 pixels down.
struct SliderOnHost {
    SliderOnHost(int minimum, int maximum, int height = 120) {
        skin.Image("track.bmp", Filled(40, 20, kTrack));
        skin.Image("thumb.bmp", Filled(20, 8, kThumb));
        loaded = skin.Load("IMAGE(Slider::background, \"track.bmp\")\n"
                           "LONG(Slider::resize_line_y, 10)\n"
                           "IMAGE(Slider::up, \"thumb.bmp\") IMAGE(Slider::down, \"thumb.bmp\")\n"
                           "LONG(Slider::color, " +
                           Hex(kTick) +
                           ")\n"
                           "LONG(Slider::thumb_center, 4)\n"
                           "LONG(Slider::offset_top, 10) LONG(Slider::offset_bottom, 10)\n");
        slider.Create(&host, 1000);
        slider.setRange(minimum, maximum);
        slider.setGeometry(0, 0, 40, height);
        host.resize(100, 400);
        host.show();
    }
    SkinFixture skin;
    bool loaded = false;
    QWidget host;
    CSkinSlider slider{"Slider", &skin.manager};
};

struct JumpCase {
    int minimum;
    int maximum;
    int y;
    int nearest; // the tic nearest to y, before the range clamps it
    int expected;
};

void PrintTo(const JumpCase& c, std::ostream* os) {
    *os << c.minimum << ".." << c.maximum << " at y " << c.y;
}

class SliderJumpTest : public ::testing::TestWithParam<JumpCase> {};

TEST_P(SliderJumpTest, ATrackClickJumpsToTheNearestTicAndReportsTheUsersChange) {
    const JumpCase& c = GetParam();
    SliderOnHost s(c.minimum, c.maximum);
    ASSERT_TRUE(s.loaded);
    s.slider.setValue(c.maximum);
    QSignalSpy moved(&s.slider, &CSkinSlider::userMoved);
    QSignalSpy released(&s.slider, &CSkinSlider::userReleased);
    EXPECT_EQ(s.slider.PositionAt(c.y), c.nearest);
    QTest::mouseClick(&s.slider, Qt::LeftButton, {}, QPoint(2, c.y));
    EXPECT_EQ(s.slider.value(), c.expected);
    // The thumb's marking line sits on the tic of the new position.
    const double scale = c.maximum > c.minimum ? 100.0 / (c.maximum - c.minimum) : 0.0;
    EXPECT_EQ(s.slider.ThumbRect().top(),
              static_cast<int>((c.expected - c.minimum) * scale + 10 - 4));
    // Reported as a drag is: a move when the position changed, the release in every case.
    ASSERT_EQ(moved.count(), c.expected != c.maximum ? 1 : 0);
    if (moved.count() == 1) {
        EXPECT_EQ(moved[0][0].toInt(), c.expected);
    }
    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released[0][0].toInt(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, SliderJumpTest,
    ::testing::Values(JumpCase{0, 10, 10 + 30 + 4, 3, 3}, JumpCase{0, 10, 10 + 30 + 6, 4, 4},
                      JumpCase{0, 10, 0, -1, 0},      // above the first tic
                      JumpCase{0, 10, 119, 11, 10},   // below the last tic
                      JumpCase{0, 10, 110, 10, 10},   // on the tic it already has
                      JumpCase{-5, 5, 10 + 60, 1, 1}, // negative ranges round the same way
                      JumpCase{-5, 5, 10 + 20 + 4, -3, -3},
                      JumpCase{7, 7, 60, 7, 7})); // one tic: every point is on it

TEST(Slider, OnlyTheUsersMovesAreReported) {
    SliderOnHost s(0, 10);
    ASSERT_TRUE(s.loaded);
    QSignalSpy moved(&s.slider, &CSkinSlider::userMoved);
    QSignalSpy released(&s.slider, &CSkinSlider::userReleased);
    s.slider.setValue(2); // a device value
    EXPECT_EQ(moved.count(), 0);

    const QPoint grip = s.slider.ThumbRect().center();
    QTest::mousePress(&s.slider, Qt::LeftButton, {}, grip);
    QTest::mouseMove(&s.slider, grip + QPoint(0, 1));
    EXPECT_EQ(moved.count(), 0) << "no tic passed";
    QTest::mouseMove(&s.slider, grip + QPoint(0, 30));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][0].toInt(), 5);
    EXPECT_EQ(released.count(), 0);
    QTest::mouseRelease(&s.slider, Qt::LeftButton, {}, grip + QPoint(0, 30));
    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released[0][0].toInt(), 5);

    s.slider.setFocus();
    QTest::keyClick(&s.slider, Qt::Key_Down);
    ASSERT_EQ(moved.count(), 2);
    EXPECT_EQ(moved[1][0].toInt(), 6) << "down the fader, towards the range maximum";
}

TEST(Slider, DraggingKeepsTheOffsetAtWhichTheThumbWasTaken) {
    SliderOnHost s(0, 10);
    ASSERT_TRUE(s.loaded);
    s.slider.setValue(2);
    const QRect thumb = s.slider.ThumbRect();
    ASSERT_EQ(thumb, QRect(10, 10 + 20 - 4, 20, 8));
    // Taken 2 pixels below its marking line, moved by five tics.
    const QPoint grip(20, thumb.top() + 6);
    QTest::mousePress(&s.slider, Qt::LeftButton, {}, grip);
    EXPECT_TRUE(s.slider.IsDragging());
    QTest::mouseMove(&s.slider, grip + QPoint(0, 50));
    EXPECT_EQ(s.slider.value(), 7);
    QTest::mouseMove(&s.slider, QPoint(20, -50));
    EXPECT_EQ(s.slider.value(), 0) << "dragged above the first tic: the range minimum";
    QTest::mouseRelease(&s.slider, Qt::LeftButton, {}, QPoint(20, -50));
    EXPECT_FALSE(s.slider.IsDragging());
}

struct TickCase {
    int tics;
    int height;
    size_t marks;
};

void PrintTo(const TickCase& c, std::ostream* os) {
    *os << c.tics << " tics over " << c.height << " pixels";
}

class SliderTickTest : public ::testing::TestWithParam<TickCase> {};

TEST_P(SliderTickTest, DrawsEveryTicOrEveryFourth) {
    const TickCase& c = GetParam();
    SliderOnHost s(0, c.tics - 1, c.height);
    ASSERT_TRUE(s.loaded);
    const std::vector<int> marks = s.slider.TickMarks();
    EXPECT_EQ(marks.size(), c.marks);
    const QImage shot = s.slider.grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, marks.front()), kTick);
    EXPECT_EQ(shot.pixelColor(39, marks.back()), kTick);
    EXPECT_EQ(shot.pixelColor(0, marks.front() + 1), kTrack);
}

INSTANTIATE_TEST_SUITE_P(Tics, SliderTickTest,
                         ::testing::Values(TickCase{200, 300, 50}, TickCase{50, 300, 50},
                                           TickCase{11, 120, 11},
                                           // Every tic only when the height is more than
                                           // four times the tics.
                                           TickCase{30, 120, 8}, TickCase{30, 121, 30}));

const QColor kTrackDisabled(70, 0, 0), kThumbDown(0, 120, 220), kThumbDisabled(120, 120, 120);

struct ThumbCase {
    const char* name;
    bool enabled;
    bool dragging;
    QColor thumb;
    QColor track;
};

void PrintTo(const ThumbCase& c, std::ostream* out) {
    *out << c.name;
}

class SliderThumbMaskTest : public ::testing::TestWithParam<ThumbCase> {};

// Each thumb image has a 3 x 3 magenta top-left corner; the track is drawn first through its
// own clip, so the thumb's clip has to replace that one for the corner to stay out.
TEST_P(SliderThumbMaskTest, TheThumbsMaskColourIsCutOut) {
    const ThumbCase& c = GetParam();
    SkinFixture skin;
    skin.Image("track.bmp", Filled(40, 20, kTrack));
    skin.Image("track_off.bmp", Filled(40, 20, kTrackDisabled));
    skin.Image("up.bmp", WithCorner(20, 8, kThumb, 3, kMagenta));
    skin.Image("down.bmp", WithCorner(20, 8, kThumbDown, 3, kMagenta));
    skin.Image("off.bmp", WithCorner(20, 8, kThumbDisabled, 3, kMagenta));
    ASSERT_TRUE(skin.Load("IMAGE(Slider::background, \"track.bmp\")\n"
                          "IMAGE(Slider::background_disabled, \"track_off.bmp\")\n"
                          "LONG(Slider::resize_line_y, 10) LONG(Slider::bkcolormask, #FF00FF)\n"
                          "IMAGE(Slider::up, \"up.bmp\") IMAGE(Slider::down, \"down.bmp\")\n"
                          "IMAGE(Slider::thumb_disabled, \"off.bmp\")\n"
                          "LONG(Slider::thumbcolormask, #FF00FF)\n"
                          "LONG(Slider::thumb_center, 4)\n"
                          "LONG(Slider::offset_top, 10) LONG(Slider::offset_bottom, 10)\n"));
    QWidget host;
    CSkinSlider slider{"Slider", &skin.manager};
    slider.Create(&host, 1000);
    slider.setRange(0, 10);
    slider.setGeometry(0, 0, 40, 120);
    slider.setValue(5);
    host.resize(100, 200);
    host.show();
    slider.setEnabled(c.enabled);
    const QRect thumb = slider.ThumbRect();
    if (c.dragging) {
        QTest::mousePress(&slider, Qt::LeftButton, {}, thumb.center());
        ASSERT_TRUE(slider.IsDragging());
    }

    const QImage shot = slider.grab().toImage();
    int magenta = 0;
    for (int y = thumb.top(); y <= thumb.bottom(); ++y) {
        for (int x = thumb.left(); x <= thumb.right(); ++x) {
            magenta += shot.pixelColor(x, y) == kMagenta ? 1 : 0;
        }
    }
    EXPECT_EQ(magenta, 0);
    EXPECT_EQ(shot.pixelColor(thumb.topLeft()), c.track) << "the track shows through";
    EXPECT_EQ(shot.pixelColor(thumb.topLeft() + QPoint(2, 2)), c.track);
    EXPECT_EQ(shot.pixelColor(thumb.topLeft() + QPoint(3, 0)), c.thumb);
    EXPECT_EQ(shot.pixelColor(thumb.topLeft() + QPoint(0, 3)), c.thumb);
    EXPECT_EQ(shot.pixelColor(thumb.bottomRight()), c.thumb);
    if (c.dragging) {
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb.center());
    }
}

INSTANTIATE_TEST_SUITE_P(States, SliderThumbMaskTest,
                         ::testing::Values(ThumbCase{"up", true, false, kThumb, kTrack},
                                           ThumbCase{"dragging", true, true, kThumbDown, kTrack},
                                           ThumbCase{"disabled", false, false, kThumbDisabled,
                                                     kTrackDisabled}),
                         [](const auto& info) { return std::string(info.param.name); });

// A spin 60 x 24 with 10 x 12 arrows at its right edge.
struct SpinOnHost {
    SpinOnHost() {
        skin.Image("up.bmp", Filled(10, 12, Qt::green));
        skin.Image("down.bmp", Filled(10, 12, Qt::red));
        loaded = skin.Load("IMAGE(Spin::up_up, \"up.bmp\") IMAGE(Spin::down_up, \"down.bmp\")\n"
                           "LONG(Spin::width, 60) LONG(Spin::height, 24)\n");
        spin.Create(&host, 500);
        host.resize(100, 50);
        host.show();
    }
    QLineEdit* Display() {
        auto* edit = new QLineEdit;
        return edit;
    }
    SkinFixture skin;
    bool loaded = false;
    QWidget host;
    CSkinSpin spin{"Spin", &skin.manager};
};

TEST(Spin, ArrowsAndTextRectFollowTheSkin) {
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    EXPECT_EQ(s.spin.UpRect(), QRect(50, 0, 10, 12));
    EXPECT_EQ(s.spin.DownRect(), QRect(50, 12, 10, 12));
    EXPECT_EQ(s.spin.GetTextRect(), QRect(0, 0, 50, 24));
    const QImage shot = s.spin.grab().toImage();
    EXPECT_EQ(shot.pixelColor(55, 5), QColor(Qt::green));
    EXPECT_EQ(shot.pixelColor(55, 18), QColor(Qt::red));
}

TEST(Spin, TheArrowsMaskColourIsCutOut) {
    SkinFixture skin;
    const QColor background(0, 0, 90);
    skin.Image("bk.bmp", Filled(20, 20, background));
    skin.Image("up.bmp", WithCorner(10, 12, Qt::green, 3, kMagenta));
    skin.Image("down.bmp", WithCorner(10, 12, Qt::red, 3, kMagenta));
    ASSERT_TRUE(skin.Load("IMAGE(Spin::background, \"bk.bmp\")\n"
                          "LONG(Spin::resize_line_x, 10) LONG(Spin::resize_line_y, 10)\n"
                          "LONG(Spin::bkcolormask, #FF00FF) LONG(Spin::buttoncolormask, #FF00FF)\n"
                          "IMAGE(Spin::up_up, \"up.bmp\") IMAGE(Spin::down_up, \"down.bmp\")\n"
                          "LONG(Spin::width, 60) LONG(Spin::height, 24)\n"));
    QWidget host;
    CSkinSpin spin{"Spin", &skin.manager};
    spin.Create(&host, 500);
    host.resize(100, 50);
    host.show();
    const QImage shot = spin.grab().toImage();
    for (const auto& [arrow, colour] : {std::pair{spin.UpRect(), QColor(Qt::green)},
                                        std::pair{spin.DownRect(), QColor(Qt::red)}}) {
        EXPECT_EQ(shot.pixelColor(arrow.topLeft()), background);
        EXPECT_EQ(shot.pixelColor(arrow.topLeft() + QPoint(2, 2)), background);
        EXPECT_EQ(shot.pixelColor(arrow.topLeft() + QPoint(3, 0)), colour);
        EXPECT_EQ(shot.pixelColor(arrow.bottomRight()), colour);
    }
}

TEST(Spin, TwoFieldsCarryIntoTheWholeNumber) {
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* fraction = s.Display();
    QLineEdit* whole = s.Display();
    ASSERT_EQ(s.spin.AddNumericField(0.8, fraction, "%.1f", 0.0, 0.9, 0.1), 0);
    ASSERT_EQ(s.spin.AddNumericField(4, whole, "%02.0f", 0, 99, 1), 1);
    EXPECT_EQ(fraction->parentWidget(), &s.spin);
    EXPECT_EQ(whole->text(), "04");
    QSignalSpy changes(&s.spin, &CSkinSpin::valueChanged);

    QTest::mouseClick(&s.spin, Qt::LeftButton, {}, s.spin.UpRect().center());
    QTest::mouseClick(&s.spin, Qt::LeftButton, {}, s.spin.UpRect().center());
    EXPECT_EQ(fraction->text(), "0.0");
    EXPECT_EQ(whole->text(), "05");
    EXPECT_DOUBLE_EQ(s.spin.GetValue(1), 5);
    EXPECT_GE(changes.count(), 3);
    EXPECT_EQ(changes.last()[0].toInt(), 0);

    QTest::mouseClick(&s.spin, Qt::LeftButton, {}, s.spin.DownRect().center());
    EXPECT_EQ(fraction->text(), "0.9");
    EXPECT_EQ(whole->text(), "04");

    // The last field wraps on its own; a big step carries several times.
    s.spin.SetValue(3.5, 0, false);
    EXPECT_EQ(fraction->text(), "0.5");
    EXPECT_EQ(whole->text(), "07");
    s.spin.SetValue(101, 1, false);
    EXPECT_EQ(whole->text(), "01");
}

struct OneFieldCase {
    const char* name;
    bool wrap;
    bool list;
    double value;
    QString text;
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const OneFieldCase& c, std::ostream* os) {
    *os << c.name;
}

class SpinOneFieldTest : public ::testing::TestWithParam<OneFieldCase> {};

TEST_P(SpinOneFieldTest, WrapsOrClampsAtTheEnds) {
    const OneFieldCase& c = GetParam();
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* display = s.Display();
    if (c.list) {
        s.spin.AddListField(1, display, {"Low", "Mid", "High"}, "[%s]");
        EXPECT_TRUE(display->isReadOnly());
    } else {
        s.spin.AddNumericField(5, display, "%.0f", 1, 10, 1);
    }
    s.spin.SetWrap(c.wrap);
    s.spin.SetValue(c.value, 0, true);
    EXPECT_EQ(display->text(), c.text);
}

INSTANTIATE_TEST_SUITE_P(Ends, SpinOneFieldTest,
                         ::testing::Values(OneFieldCase{"clampUp", false, false, 11, "10"},
                                           OneFieldCase{"clampDown", false, false, 0, "1"},
                                           OneFieldCase{"wrapUp", true, false, 11, "1"},
                                           OneFieldCase{"wrapDown", true, false, 0, "10"},
                                           OneFieldCase{"inside", false, false, 7, "7"},
                                           OneFieldCase{"listClamp", false, true, 3, "[High]"},
                                           OneFieldCase{"listWrap", true, true, 3, "[Low]"},
                                           OneFieldCase{"listWrapDown", true, true, -1, "[High]"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Spin, TypedTextIsTakenOnEnterOrWhenLeftNeverPerKeystroke) {
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* display = s.Display();
    s.spin.AddNumericField(5, display, "%03.0f", 0, 50, 1);
    QSignalSpy changes(&s.spin, &CSkinSpin::valueChanged);
    s.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.host));
    display->setFocus();
    ASSERT_TRUE(display->hasFocus());
    display->selectAll();
    QTest::keyClicks(display, "42");
    EXPECT_DOUBLE_EQ(s.spin.GetValue(0), 5) << "nothing taken while typing";
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(display->text(), "42");
    QTest::keyClick(display, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(s.spin.GetValue(0), 42);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(display->text(), "042");
    // A value shown by the processor while the operator types does not overwrite the typing.
    display->selectAll();
    QTest::keyClicks(display, "7");
    s.spin.SetValue(9, 0, false);
    EXPECT_EQ(display->text(), "7");
    display->clearFocus();
    EXPECT_DOUBLE_EQ(s.spin.GetValue(0), 7);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(display->text(), "007");
}

struct TypedCase {
    const char* name;
    int fields;
    const char* typed;
    double kept;   // the typed field's value once taken
    double next;   // the next field's value: typing never carries into it
    QString shown; // the typed field's text once taken
    int heard;     // changes handed on
};
void PrintTo(const TypedCase& c, std::ostream* os) {
    *os << c.name;
}

class SpinTypedTest : public ::testing::TestWithParam<TypedCase> {};

// Minutes 0..59 (the least significant field, showing 10) with hours 0..23 beside them
// (showing 3), or minutes alone. Typed text is taken with Enter.
TEST_P(SpinTypedTest, ATypedValueStopsAtTheRangeAndTextThatIsNoNumberGivesBackTheValue) {
    const TypedCase& c = GetParam();
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* minutes = s.Display();
    QLineEdit* hours = s.Display();
    s.spin.AddNumericField(10, minutes, "%02.0f", 0, 59, 1);
    if (c.fields == 2) {
        s.spin.AddNumericField(3, hours, "%.0f", 0, 23, 1);
    }
    std::vector<double> heard;
    QObject::connect(&s.spin, &CSkinSpin::valueChanged, &s.spin,
                     [&](int field) { heard.push_back(s.spin.GetValue(field)); });
    s.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.host));
    minutes->setFocus();
    ASSERT_TRUE(minutes->hasFocus());
    minutes->selectAll();
    QTest::keyClicks(minutes, c.typed);
    EXPECT_TRUE(heard.empty()) << "nothing handed on per keystroke";
    QTest::keyClick(minutes, Qt::Key_Return);

    EXPECT_DOUBLE_EQ(s.spin.GetValue(0), c.kept);
    EXPECT_EQ(minutes->text(), c.shown);
    EXPECT_EQ(static_cast<int>(heard.size()), c.heard);
    if (c.fields == 2) {
        EXPECT_DOUBLE_EQ(s.spin.GetValue(1), c.next);
        EXPECT_EQ(hours->text(), QString::number(c.next));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Typed, SpinTypedTest,
    ::testing::Values(TypedCase{"aboveStopsAtTheTop", 2, "75", 59, 3, "59", 1},
                      TypedCase{"belowStopsAtTheBottom", 2, "-15", 0, 3, "00", 1},
                      TypedCase{"inRange", 2, "42", 42, 3, "42", 1},
                      TypedCase{"aloneAbove", 1, "75", 59, 0, "59", 1},
                      TypedCase{"notANumber", 2, "abc", 10, 3, "10", 0},
                      TypedCase{"numberWithUnit", 1, "12 min", 12, 0, "12", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Spin, HoldingAnArrowStepsAtOnceThenRepeats) {
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* display = s.Display();
    s.spin.AddNumericField(0, display, "%.0f", 0, 1000, 1);
    QTest::mousePress(&s.spin, Qt::LeftButton, {}, s.spin.UpRect().center());
    EXPECT_EQ(s.spin.Arrows(), CSkinSpin::ArrowState::PressUp);
    EXPECT_EQ(display->text(), "1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.spin.GetValue(0) >= 3; }, 5000));
    QTest::mouseRelease(&s.spin, Qt::LeftButton, {}, s.spin.UpRect().center());
    EXPECT_EQ(s.spin.Arrows(), CSkinSpin::ArrowState::None);
}

TEST(Spin, TheFocusedDisplayChoosesTheFieldTheArrowsStep) {
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* low = s.Display();
    QLineEdit* high = s.Display();
    s.spin.AddNumericField(3, low, "%.0f", 0, 9, 1);
    s.spin.AddNumericField(3, high, "%.0f", 0, 9, 1);
    s.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.host));
    high->setFocus();
    ASSERT_EQ(s.spin.CurrentField(), 1);
    QTest::mouseClick(&s.spin, Qt::LeftButton, {}, s.spin.DownRect().center());
    EXPECT_EQ(low->text(), "3");
    EXPECT_EQ(high->text(), "2");
    low->setFocus();
    QTest::mouseClick(&s.spin, Qt::LeftButton, {}, s.spin.DownRect().center());
    EXPECT_EQ(low->text(), "2");
}

TEST(Spin, ATextFieldShowsItsOwnersTextsOnceItHasThem) {
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* display = s.Display();
    s.spin.AddTextField(display);
    s.spin.SetValue(2, 0, false);
    EXPECT_EQ(display->text(), "") << "no texts yet";
    EXPECT_DOUBLE_EQ(s.spin.GetValue(0), 2);
    s.spin.SetItems(0, {"Off", "SPEECH", "MUSIC"});
    EXPECT_EQ(display->text(), "MUSIC");
    s.spin.SetValue(5, 0, false);
    EXPECT_EQ(display->text(), "MUSIC") << "one field without wrap clamps";
}

TEST(Spin, BadFormatsFallBackInsteadOfReadingMissingArguments) {
    SpinOnHost s;
    ASSERT_TRUE(s.loaded);
    QLineEdit* number = s.Display();
    QLineEdit* entry = s.Display();
    s.spin.AddNumericField(2.5, number, "%s %n", 0, 10, 0.5);
    s.spin.AddListField(0, entry, {"One"}, "%d");
    EXPECT_EQ(number->text(), "2.5");
    EXPECT_EQ(entry->text(), "One");
}

} // namespace
