#include <QSignalSpy>
#include <QTest>

#include "widgets/CSkinMenu.h"
#include "widgets/CSkinProgress.h"
#include "widgets/SkinMenuRow.h"
#include "widgets/SkinFixture.h"

namespace {

const QColor kLit(0, 220, 0), kUnlit(60, 60, 60), kStrip(0, 0, 90);

std::string StripSkin(SkinFixture& skin, int speed) {
    skin.Image("on.bmp", Filled(6, 6, kLit));
    skin.Image("off.bmp", Filled(6, 6, kUnlit));
    skin.Image("strip.bmp", Filled(10, 10, kStrip));
    return "IMAGE(ProgressBar::active, \"on.bmp\") IMAGE(ProgressBar::inactive, \"off.bmp\")\n"
           "IMAGE(ProgressBar::background, \"strip.bmp\")\n"
           "LONG(ProgressBar::resize_line_x, 5) LONG(ProgressBar::resize_line_y, 5)\n"
           "LONG(ProgressBar::width, 100) LONG(ProgressBar::height, 10)\n"
           "LONG(ProgressBar::ofs_left, 2) LONG(ProgressBar::ofs_top, 2)\n"
           "LONG(ProgressBar::count, 14) LONG(ProgressBar::speed, " +
           std::to_string(speed) + ")\n";
}

struct SweepCase {
    int steps;
    int position;
};

class ProgressSweepTest : public ::testing::TestWithParam<SweepCase> {};

TEST_P(ProgressSweepTest, ThreeLitCellsSweepInsideFourteen) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(StripSkin(skin, 50)));
    QWidget host;
    CSkinProgress strip(&skin.manager);
    strip.Create(&host, 666, true);
    host.show();
    ASSERT_FALSE(strip.IsRunning());
    for (int i = 0; i < GetParam().steps; ++i) {
        strip.Step();
    }
    const int position = GetParam().position;
    EXPECT_EQ(strip.Position(), position);
    const QImage shot = strip.grab().toImage();
    for (int cell = 0; cell < 14; ++cell) {
        const QPoint centre = strip.CellRect(cell).center();
        const bool lit = std::abs(cell - position) < 2;
        EXPECT_EQ(shot.pixelColor(centre), lit ? kLit : kUnlit) << "cell " << cell;
    }
    EXPECT_EQ(shot.pixelColor(99, 9), kStrip);
}

INSTANTIATE_TEST_SUITE_P(Steps, ProgressSweepTest,
                         ::testing::Values(SweepCase{0, 0}, SweepCase{1, 1}, SweepCase{12, 12},
                                           SweepCase{13, 12}, SweepCase{14, 11}, SweepCase{24, 1},
                                           SweepCase{25, 1}, SweepCase{26, 2}, SweepCase{37, 12}));

TEST(Progress, TheCellsMaskColourIsCutOut) {
    SkinFixture skin;
    skin.Image("on.bmp", WithCorner(6, 6, kLit, 2, kMagenta));
    skin.Image("off.bmp", WithCorner(6, 6, kUnlit, 2, kMagenta));
    skin.Image("strip.bmp", Filled(10, 10, kStrip));
    ASSERT_TRUE(skin.Load(
        "IMAGE(ProgressBar::active, \"on.bmp\") IMAGE(ProgressBar::inactive, \"off.bmp\")\n"
        "LONG(ProgressBar::colormask, #FF00FF)\n"
        "IMAGE(ProgressBar::background, \"strip.bmp\")\n"
        "LONG(ProgressBar::resize_line_x, 5) LONG(ProgressBar::resize_line_y, 5)\n"
        "LONG(ProgressBar::bkcolormask, #FF00FF)\n"
        "LONG(ProgressBar::width, 100) LONG(ProgressBar::height, 10)\n"
        "LONG(ProgressBar::ofs_left, 2) LONG(ProgressBar::ofs_top, 2)\n"
        "LONG(ProgressBar::count, 14)\n"));
    QWidget host;
    CSkinProgress strip(&skin.manager);
    strip.Create(&host, 666, true);
    host.show();
    strip.SetPos(5);
    const QImage shot = strip.grab().toImage();
    for (int cell : {0, 5}) {
        const QRect rect = strip.CellRect(cell);
        const QColor colour = cell == 5 ? kLit : kUnlit;
        EXPECT_EQ(shot.pixelColor(rect.topLeft()), kStrip) << "cell " << cell;
        EXPECT_EQ(shot.pixelColor(rect.topLeft() + QPoint(1, 1)), kStrip) << "cell " << cell;
        EXPECT_EQ(shot.pixelColor(rect.topLeft() + QPoint(2, 0)), colour) << "cell " << cell;
        EXPECT_EQ(shot.pixelColor(rect.bottomRight()), colour) << "cell " << cell;
    }
}

TEST(Progress, NeverLeavesTheStrip) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(StripSkin(skin, 50)));
    CSkinProgress strip(&skin.manager);
    strip.Create(nullptr, 666, true);
    int lowest = 99;
    int highest = -1;
    for (int i = 0; i < 100; ++i) {
        strip.Step();
        lowest = std::min(lowest, strip.Position());
        highest = std::max(highest, strip.Position());
    }
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, 12);
    strip.SetPos(40);
    EXPECT_EQ(strip.Position(), 14);
    strip.SetPos(-3);
    EXPECT_EQ(strip.Position(), 0);
}

struct SpeedCase {
    int speed;
    int interval;
};

class ProgressTimerTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(ProgressTimerTest, StepsOnItsOwnTimer) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load(StripSkin(skin, GetParam().speed)));
    auto strip = std::make_unique<CSkinProgress>(&skin.manager);
    strip->Create(nullptr, 666);
    EXPECT_TRUE(strip->IsRunning());
    EXPECT_EQ(strip->IntervalMs(), GetParam().interval);
    EXPECT_TRUE(QTest::qWaitFor([&] { return strip->Position() >= 2; }, 5000));
    strip.reset(); // destroyed while running: the timer goes with it
}

INSTANTIATE_TEST_SUITE_P(Speeds, ProgressTimerTest,
                         ::testing::Values(SpeedCase{0, 30}, SpeedCase{50, 50}));

const QColor kNormal(240, 240, 240), kSelectedRow(0, 0, 128), kIcon(200, 0, 0);

TEST(Menu, RowsAreMeasuredAndDrawnFromTheSkin) {
    SkinFixture skin;
    ASSERT_TRUE(skin.Load("LONG(PopupMenu::bkcolor_normal, " + Hex(kNormal) +
                          ") LONG(PopupMenu::bkcolor_selected, " + Hex(kSelectedRow) +
                          ")\n"
                          "LONG(PopupMenu::textcolor_normal, #000000) "
                          "LONG(PopupMenu::textcolor_selected, #FFFFFF)\n"
                          "LONG(PopupMenu::font_height, 12)\n"));
    CSkinMenu menu(&skin.manager);
    menu.Create();
    menu.AddIcon(WithCorner(16, 16, kIcon, 3, kMagenta), 0x00FF00FF);
    menu.AddIcon(Filled(16, 16, kIcon), 0x00FF00FF);
    menu.AddItem(0, "Load");
    menu.AddItem(1, "Save");
    menu.AddItem(2, "Rename");
    QSignalSpy chosen(&menu, &CSkinMenu::commandChosen);
    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 5000));

    auto rows = menu.findChildren<SkinMenuRow*>();
    ASSERT_EQ(rows.size(), 3);
    std::sort(rows.begin(), rows.end(),
              [](auto* a, auto* b) { return a->Command() < b->Command(); });
    const QSize text = QFontMetrics(menu.RowFont()).size(Qt::TextSingleLine, "Rename");
    EXPECT_EQ(rows[2]->sizeHint(), QSize(text.width() + 22, std::max(text.height(), 16) + 4));

    const auto colour = [](QWidget* row, int x) {
        return row->grab().toImage().pixelColor(x, row->height() / 2);
    };
    EXPECT_EQ(colour(rows[0], 10), kIcon);
    EXPECT_EQ(rows[0]->grab().toImage().pixelColor(3, (rows[0]->height() - 16) / 2), kNormal)
        << "the icon's mask colour is left out";
    EXPECT_EQ(colour(rows[2], 10), kNormal) << "no icon for command 2";
    EXPECT_EQ(colour(rows[1], rows[1]->width() - 2), kNormal);

    QTest::mouseMove(rows[1], QPoint(rows[1]->width() - 4, rows[1]->height() / 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows[1]->IsSelected(); }, 5000));
    EXPECT_EQ(colour(rows[1], rows[1]->width() - 2), kSelectedRow);
    EXPECT_EQ(colour(rows[1], 1), kNormal) << "the icon column keeps the normal colour";

    QTest::mouseClick(rows[1], Qt::LeftButton, {}, QPoint(30, 5));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), 1);
    EXPECT_FALSE(menu.isVisible());
}

} // namespace
