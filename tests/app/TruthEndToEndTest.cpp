#include <chrono>
#include <csignal>
#include <optional>
#include <string>

#include <QImage>

#include <gtest/gtest.h>

#include "app/RemoteOnXvfbTest.h"
#include "skin/CSkin.h"

namespace {

using namespace std::chrono_literals;

// Pixels of exactly that colour in an image: text drawn in one colour over anything else.
int CountColour(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
        }
    }
    return count;
}

// The real program under Xvfb against the real simulator: what the screen shows is checked
// against what the processor holds, with solvei-ctl, as an engineer would.
class TruthEndToEndTest : public RemoteOnXvfbTest {
protected:
    QImage ShotOf(const QRect& area) const {
        return display_.Shot(Path("shot.png")).copy(area.translated(place_));
    }

    QPoint place_;
};

TEST_F(TruthEndToEndTest, WhatTheWindowShowsIsWhatTheProcessorHolds) {
    ASSERT_TRUE(StartDisplayAndSimulator());
    StoreSettings();
    CSkin& s = Skin();
    const QRect leds = SectionRect("Leds");
    const QPoint frame = SectionRect("Frame").topLeft();

    const auto place = StartRemoteWindow();
    ASSERT_TRUE(place);
    place_ = *place;
    EXPECT_TRUE(display_.Click(place_ + KeyRect("BtnConnect").center()));
    ASSERT_TRUE(XvfbDisplay::WaitFor([&] { return WindowName() == "Solvei V1.23"; }, 20s))
        << WindowName();
    // The AGC page is shown once its values are read; its first fader is AGC Drive [0 0 0],
    // a box 80 x 300 at (20, 40) of the page: the fader itself 40 wide, 40 below the box top.
    const QRect fader(frame + QPoint(40, 80), QSize(40, 260));
    ASSERT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            return Ctl({"read", "0", "0", "0"}).exitCode == 0;
        },
        10s));
    QTest::qWait(1500);

    // A bypass made elsewhere lights BYPASS (and says BYPASSED) within a second or so.
    const QRect bypassKey = KeyRect("BtnBypass");
    const QImage onlineKeys = ShotOf(bypassKey);
    ASSERT_EQ(Ctl({"bypass", "on"}).exitCode, 0);
    const auto bypassed = std::chrono::steady_clock::now();
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return ShotOf(bypassKey) != onlineKeys; }, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - bypassed, 2s) << "BYPASS lit late";
    ASSERT_EQ(Ctl({"bypass", "off"}).exitCode, 0);
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return ShotOf(bypassKey) == onlineKeys; }, 5s));

    // A burst of wheel notches 25 ms apart on the fader: once it settles, the screen and the
    // processor agree. A page read again from the processor must not move the fader.
    ASSERT_EQ(
        display_
            .X({"/usr/bin/xdotool", "mousemove", std::to_string(place_.x() + fader.center().x()),
                std::to_string(place_.y() + fader.center().y())})
            .exitCode,
        0);
    ASSERT_EQ(
        display_.X({"/usr/bin/xdotool", "click", "--repeat", "3", "--delay", "25", "4"}).exitCode,
        0);
    QTest::qWait(1000);
    const QImage afterBurst = ShotOf(fader);
    const std::string held = Ctl({"read", "0", "0", "0"}).out;
    // Another page and back: the AGC page is built again from the processor's values.
    const QPoint treeLimiter(s.GetLong("Tree", "offset_left") + 60,
                             s.GetLong("Tree", "offset_top") + 64);
    const QPoint treeAgc(s.GetLong("Tree", "offset_left") + 60,
                         s.GetLong("Tree", "offset_top") + 10);
    EXPECT_TRUE(display_.Click(place_ + treeLimiter));
    QTest::qWait(1500);
    EXPECT_TRUE(display_.Click(place_ + treeAgc));
    QTest::qWait(1500);
    EXPECT_EQ(Ctl({"read", "0", "0", "0"}).out, held);
    EXPECT_TRUE(ShotOf(fader) == afterBurst)
        << "the fader moved when its value was read again: the screen showed what the "
           "processor did not hold (processor: "
        << held << ")";

    // The processor dies: within 2 s the meters say NO REPLY, in words.
    const QRgb amber = qRgb(0xFF, 0xC0, 0x40);
    ASSERT_EQ(CountColour(ShotOf(leds), amber), 0);
    ASSERT_EQ(sim_->Stop(SIGKILL, 5s), 137);
    const auto killed = std::chrono::steady_clock::now();
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return CountColour(ShotOf(leds), amber) > 50; }, 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 2500ms) << "NO REPLY shown late";
    (void)display_.Shot(Path("stale.png"));

    // Back on the same port: the window connects again by itself and the meters live.
    ASSERT_TRUE(StartSimulatorOn(simPort_));
    QImage last;
    int changes = 0;
    EXPECT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const QImage now = ShotOf(leds);
            if (CountColour(now, amber) == 0 && !last.isNull() && now != last) {
                ++changes;
            }
            last = now;
            return changes >= 2;
        },
        90s))
        << "no live meters again after the simulator came back";
}

} // namespace
