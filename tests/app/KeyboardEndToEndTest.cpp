#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <QImage>

#include <gtest/gtest.h>

#include "app/RemoteOnXvfbTest.h"
#include "skin/CSkin.h"

namespace {

using namespace std::chrono_literals;

// The real program under Xvfb against the real simulator, worked with the keyboard alone
// (xdotool key), each step checked against the processor with solvei-ctl.
class KeyboardEndToEndTest : public RemoteOnXvfbTest {
protected:
    // A number field of the processor's LED state ("bypass", "compare", "current").
    std::optional<int> Led(const std::string& field) const {
        const std::string out = Ctl({"--json", "leds"}).out;
        std::smatch match;
        if (!std::regex_search(out, match, std::regex("\"" + field + "\":(\\d+)"))) {
            return std::nullopt;
        }
        return std::stoi(match[1].str());
    }

    std::optional<int> Read(int a, int b, int c) const {
        const std::string out =
            Ctl({"--json", "read", std::to_string(a), std::to_string(b), std::to_string(c)}).out;
        std::smatch match;
        if (!std::regex_search(out, match, std::regex("\"value\":(-?\\d+)"))) {
            return std::nullopt;
        }
        return std::stoi(match[1].str());
    }

    // Waits until the page area has changed from before and then holds still: the page
    // chosen in the tree is built and shown.
    bool WaitForNewPage(const QImage& before) {
        QImage last;
        int still = 0;
        return XvfbDisplay::WaitFor(
            [&] {
                const QImage now = display_.Shot(Path("page.png")).copy(pageArea_);
                still = now != before && now == last ? still + 1 : 0;
                last = now;
                return still >= 2;
            },
            30s);
    }

    QImage PageShot() const { return display_.Shot(Path("page.png")).copy(pageArea_); }

    QRect pageArea_;
};

TEST_F(KeyboardEndToEndTest, AWholeSessionByKeysAlone) {
    ASSERT_TRUE(StartDisplayAndSimulator());
    StoreSettings();
    const QRect frame = SectionRect("Frame");

    const auto place = StartRemoteWindow();
    ASSERT_TRUE(place);
    pageArea_ = frame.translated(*place);
    (void)display_.Shot(ShotPath("keys-offline.png"));
    const QImage offline = PageShot();

    // F5 connects with the stored settings.
    Key("F5");
    ASSERT_TRUE(XvfbDisplay::WaitFor([&] { return WindowName() == "Solvei V1.23"; }, 30s))
        << WindowName();
    // The connect is done when the first page stands where the settings were; only then may
    // a second client talk to the processor.
    ASSERT_TRUE(WaitForNewPage(offline)) << "no page after the connect";

    // Ctrl+B bypasses, Ctrl+O goes back online.
    Key("ctrl+b");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("bypass") == 1; }, 20s))
        << Ctl({"--json", "leds"}).out;
    Key("ctrl+o");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("bypass") == 0; }, 20s));

    // Ctrl+P shows the presets with the focus in the list; Down and Up choose the first row (U1),
    // Tab reaches the Load key and Space presses it: the processor puts U1 on air.
    const auto onAir = Led("current");
    ASSERT_TRUE(onAir);
    ASSERT_NE(*onAir, 0) << "the processor starts on U1; the load below would prove nothing";
    Key("ctrl+p");
    Key("Down");
    Key("Up");
    Key("Tab");
    Key("space");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("current") == 0; }, 20s))
        << Ctl({"--json", "leds"}).out;

    // Ctrl+T puts the focus into the page tree, which shows its first page (AGC); Tab enters
    // the page at its fader, which then wears the focus mark, and Down moves it on air.
    const auto drive = Read(0, 0, 0);
    ASSERT_TRUE(drive);
    Key("ctrl+t");
    Key("Tab");
    (void)display_.Shot(ShotPath("keys-fader.png"));
    Key("Down");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Read(0, 0, 0) < *drive; }, 20s))
        << "AGC Drive stayed " << *drive;

    // Back in the tree, Down steps page by page (Bands, Crossover, Limiter, STEREO ENHANCE,
    // System): the tree keeps the focus through every page change. System's first control
    // is the value field Input Gain (1 0 0): Tab reaches it and Up steps it.
    const auto gain = Read(1, 0, 0);
    ASSERT_TRUE(gain);
    Key("shift+Tab");
    for (int step = 0; step < 5; ++step) {
        const QImage before = PageShot();
        Key("Down");
        ASSERT_TRUE(WaitForNewPage(before)) << "no new page after step " << step + 1;
    }
    Key("Tab");
    Key("Up");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Read(1, 0, 0) > *gain; }, 20s))
        << "Input Gain stayed " << *gain;
    (void)display_.Shot(ShotPath("keys-value-field.png"));

    // The edits lit A: Ctrl+2 compares with the preset as loaded, Ctrl+1 goes back to them.
    Key("ctrl+2");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("compare") == 1; }, 20s))
        << Ctl({"--json", "leds"}).out;
    Key("ctrl+1");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("compare") == 0; }, 20s))
        << Ctl({"--json", "leds"}).out;
}

} // namespace
