#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
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

// The real program under Xvfb against the real simulator, worked with the keyboard alone
// (xdotool key), each step checked against the processor with solvei-ctl.
class KeyboardEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto missing = XvfbDisplay::MissingTool()) {
            GTEST_SKIP() << *missing << " is not installed";
        }
        dir_ = fs::temp_directory_path() / ("solvei-keys-" + std::to_string(::getpid()));
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
            EXPECT_EQ(sim_->Stop(SIGTERM, 10s), 0);
        }
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }

    std::string Path(const std::string& sub) const { return (dir_ / sub).string(); }

    // A screenshot kept for a person to look at when SOLVEI_SHOT_DIR names a folder.
    std::string ShotPath(const std::string& name) const {
        const char* keep = std::getenv("SOLVEI_SHOT_DIR");
        return keep != nullptr && *keep != '\0' ? (fs::path(keep) / name).string() : Path(name);
    }

    void Key(const std::string& keys) const {
        EXPECT_EQ(display_.X({"/usr/bin/xdotool", "key", keys}).exitCode, 0) << keys;
    }

    std::string WindowName() const {
        const auto id = display_.MainWindowId();
        return id ? display_.WindowName(*id) : std::string();
    }

    // One solvei-ctl command against the simulator; its standard output.
    std::string Ctl(const std::vector<std::string>& command) const {
        std::vector<std::string> argv{SOLVEI_CTL_PATH,          "--host", "127.0.0.1", "--port",
                                      std::to_string(simPort_), "--json"};
        argv.insert(argv.end(), command.begin(), command.end());
        return TestProcess::Run(argv, {}, 20s).out;
    }

    // A number field of the processor's LED state ("bypass", "compare", "current").
    std::optional<int> Led(const std::string& field) const {
        const std::string out = Ctl({"leds"});
        std::smatch match;
        if (!std::regex_search(out, match, std::regex("\"" + field + "\":(\\d+)"))) {
            return std::nullopt;
        }
        return std::stoi(match[1].str());
    }

    std::optional<int> Read(int a, int b, int c) const {
        const std::string out =
            Ctl({"read", std::to_string(a), std::to_string(b), std::to_string(c)});
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

    fs::path dir_;
    XvfbDisplay display_;
    std::unique_ptr<TestProcess> sim_;
    std::unique_ptr<TestProcess> remote_;
    unsigned short simPort_ = 0;
    QRect pageArea_;
};

TEST_F(KeyboardEndToEndTest, AWholeSessionByKeysAlone) {
    ASSERT_TRUE(display_.Start("1280x800x24")) << "Xvfb did not start";
    const auto port = StartSimulator(sim_);
    ASSERT_TRUE(port);
    simPort_ = *port;

    const QString settingsDir = QString::fromStdString(Path("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
    {
        CConnectionSettings settings;
        settings.ReadRegistry();
        settings.Load();
        settings.host = "127.0.0.1";
        settings.port = simPort_;
        settings.Save();
        settings.WriteRegistry();
    }
    NoBoxes boxes;
    const fs::path shipped(SOLVEI_SHIPPED_SKIN);
    CSkinManager skin(shipped.parent_path().string(), std::string(), boxes);
    ASSERT_TRUE(skin.ChangeSkin(shipped.filename().string()));
    CSkin& s = *skin.Current();
    const QRect frame(s.GetLong("Frame", "offset_left"), s.GetLong("Frame", "offset_top"),
                      s.GetLong("Frame", "width"), s.GetLong("Frame", "height"));

    remote_ = StartRemote(display_, Path("work"), Path("settings"), Path("tmp"));
    std::optional<QRect> window;
    ASSERT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const auto id = display_.MainWindowId();
            window = id ? display_.Geometry(*id) : std::nullopt;
            return window.has_value();
        },
        20s));
    pageArea_ = frame.translated(window->topLeft());
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
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("bypass") == 1; }, 20s)) << Ctl({"leds"});
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
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("current") == 0; }, 20s)) << Ctl({"leds"});

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
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("compare") == 1; }, 20s)) << Ctl({"leds"});
    Key("ctrl+1");
    EXPECT_TRUE(XvfbDisplay::WaitFor([&] { return Led("compare") == 0; }, 20s)) << Ctl({"leds"});
}

} // namespace
