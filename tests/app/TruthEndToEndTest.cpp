#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include <QImage>
#include <QSettings>

#include <gtest/gtest.h>

#include "app/XvfbDisplay.h"
#include "link/CConnectionSettings.h"
#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class NoBoxes : public IMessageBox {
public:
    void Show(const std::string& text, const std::string&, Icon) override {
        ADD_FAILURE() << "skin error: " << text;
    }
};

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
class TruthEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto missing = XvfbDisplay::MissingTool()) {
            GTEST_SKIP() << *missing << " is not installed";
        }
        dir_ = fs::temp_directory_path() / ("solvei-truth-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        for (const char* sub : {"settings", "work", "tmp"}) {
            fs::create_directories(dir_ / sub);
        }
    }

    void TearDown() override {
        if (remote_) {
            remote_->Stop(SIGKILL, 10s);
        }
        if (sim_) {
            sim_->Stop(SIGKILL, 10s);
        }
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }

    std::string Path(const std::string& sub) const { return (dir_ / sub).string(); }

    bool StartSimOn(unsigned short port) {
        sim_ = std::make_unique<TestProcess>(
            std::vector<std::string>{SOLVEI_SIM_PATH, "--udp", "127.0.0.1:" + std::to_string(port)},
            std::map<std::string, std::string>{});
        const auto line = sim_->ReadLine(10s);
        return line && line->rfind("udp 127.0.0.1:", 0) == 0;
    }

    TestProcess::Result Ctl(std::vector<std::string> args) const {
        args.insert(args.begin(),
                    {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port", std::to_string(port_)});
        return TestProcess::Run(args, {});
    }

    std::optional<QPoint> WindowPlace() const {
        const auto id = display_.MainWindowId();
        const auto geometry = id ? display_.Geometry(*id) : std::nullopt;
        return geometry ? std::optional<QPoint>(geometry->topLeft()) : std::nullopt;
    }

    QImage ShotOf(const QRect& area) const {
        return display_.Shot(Path("shot.png")).copy(area.translated(place_));
    }

    fs::path dir_;
    XvfbDisplay display_;
    std::unique_ptr<TestProcess> sim_;
    std::unique_ptr<TestProcess> remote_;
    unsigned short port_ = 0;
    QPoint place_;
};

TEST_F(TruthEndToEndTest, WhatTheWindowShowsIsWhatTheProcessorHolds) {
    ASSERT_TRUE(display_.Start("1280x800x24")) << "Xvfb did not start";
    const auto simPort = StartSimulator(sim_);
    ASSERT_TRUE(simPort);
    port_ = *simPort;
    const QString settingsDir = QString::fromStdString(Path("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
    {
        CConnectionSettings settings;
        settings.ReadRegistry();
        settings.Load();
        settings.host = "127.0.0.1";
        settings.port = port_;
        settings.Save();
        settings.WriteRegistry();
    }
    NoBoxes boxes;
    const fs::path shipped(SOLVEI_SHIPPED_SKIN);
    CSkinManager skin(shipped.parent_path().string(), std::string(), boxes);
    ASSERT_TRUE(skin.ChangeSkin(shipped.filename().string()));
    CSkin& s = *skin.Current();
    const auto rectOf = [&](const char* section) {
        const QImage* up = s.GetImage(section, "up", 1);
        return QRect(QPoint(s.GetLong(section, "offset_left"), s.GetLong(section, "offset_top")),
                     up != nullptr ? up->size() : QSize(0, 0));
    };
    const QRect leds(s.GetLong("Leds", "offset_left"), s.GetLong("Leds", "offset_top"),
                     s.GetLong("Leds", "width"), s.GetLong("Leds", "height"));
    const QPoint frame(s.GetLong("Frame", "offset_left"), s.GetLong("Frame", "offset_top"));

    remote_ = StartRemote(display_, Path("work"), Path("settings"), Path("tmp"));
    std::optional<QPoint> place;
    ASSERT_TRUE(XvfbDisplay::WaitFor([&] { return (place = WindowPlace()).has_value(); }, 20s));
    place_ = *place;
    EXPECT_TRUE(display_.Click(place_ + rectOf("BtnConnect").center()));
    ASSERT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const auto id = display_.MainWindowId();
            return id && display_.WindowName(*id) == "Solvei V1.23";
        },
        20s));
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
    const QRect bypassKey = rectOf("BtnBypass");
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
    display_.Shot(Path("stale.png"));

    // Back on the same port: the window connects again by itself and the meters live.
    ASSERT_TRUE(StartSimOn(port_));
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
