#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <QImage>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include "ctl/TestProcess.h"
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

bool Installed(const char* program) {
    return TestProcess::Run({"/usr/bin/which", program}, {}, 10s).exitCode == 0;
}

// The real program under Xvfb against the real simulator, driven with xdotool and looked at
// with ImageMagick's import, as an operator would.
class RemoteEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "import"}) {
            if (!Installed(tool)) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        dir_ = fs::temp_directory_path() / ("solvei-e2e-" + std::to_string(::getpid()));
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
        if (xvfb_) {
            xvfb_->Stop(SIGTERM, 10s);
        }
        fs::remove_all(dir_);
    }

    std::string Path(const std::string& sub) const { return (dir_ / sub).string(); }

    TestProcess::Result X(std::vector<std::string> argv) const {
        return TestProcess::Run(argv, {{"DISPLAY", display_}}, 20s);
    }

    // Polls until done() or the deadline.
    template <typename Done> static bool WaitFor(Done done, std::chrono::milliseconds deadline) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            if (done()) {
                return true;
            }
            QTest::qWait(50);
        }
        return done();
    }

    QImage Shot(const std::string& name) const {
        const std::string file = Path(name);
        const auto result = X({"/usr/bin/import", "-window", "root", file});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return QImage(QString::fromStdString(file));
    }

    // The main window: the one named "Solvei Remote" or "Solvei V..." that has a real size.
    std::optional<std::string> MainWindowId() const {
        const auto found = X({"/usr/bin/xdotool", "search", "--name", "^Solvei (Remote|V)"});
        std::istringstream ids(found.out);
        for (std::string id; std::getline(ids, id);) {
            const auto geometry = X({"/usr/bin/xdotool", "getwindowgeometry", id});
            std::smatch match;
            if (std::regex_search(geometry.out, match, std::regex("Geometry: (\\d+)x(\\d+)")) &&
                std::stoi(match[1].str()) > 100 && std::stoi(match[2].str()) > 100) {
                return id;
            }
        }
        return std::nullopt;
    }

    // The window's top-left corner on the screen.
    std::optional<QPoint> WindowPlace() const {
        const auto id = MainWindowId();
        if (!id) {
            return std::nullopt;
        }
        const auto geometry = X({"/usr/bin/xdotool", "getwindowgeometry", *id});
        std::smatch match;
        if (!std::regex_search(geometry.out, match, std::regex("Position: (-?\\d+),(-?\\d+)"))) {
            return std::nullopt;
        }
        return QPoint(std::stoi(match[1].str()), std::stoi(match[2].str()));
    }

    std::string WindowName() const {
        const auto id = MainWindowId();
        if (!id) {
            return {};
        }
        std::string name = X({"/usr/bin/xdotool", "getwindowname", *id}).out;
        while (!name.empty() && name.back() == '\n') {
            name.pop_back();
        }
        return name;
    }

    void Click(QPoint at) const {
        EXPECT_EQ(X({"/usr/bin/xdotool", "mousemove", std::to_string(at.x()),
                     std::to_string(at.y()), "click", "1"})
                      .exitCode,
                  0);
    }

    fs::path dir_;
    std::string display_;
    std::unique_ptr<TestProcess> xvfb_;
    std::unique_ptr<TestProcess> sim_;
    std::unique_ptr<TestProcess> remote_;
};

TEST_F(RemoteEndToEndTest, ConnectShowsLiveMetersAndExitLeavesNothingBehind) {
    // A display of its own: Xvfb picks a free number and prints it. Without -noreset the
    // server restarts whenever its last client leaves, refusing whoever connects just then.
    xvfb_ = std::make_unique<TestProcess>(
        std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24",
                                 "-nolisten", "tcp", "-noreset"},
        std::map<std::string, std::string>{});
    const auto number = xvfb_->ReadLine(20s);
    ASSERT_TRUE(number) << "Xvfb did not start";
    display_ = ":" + *number;

    sim_ = std::make_unique<TestProcess>(
        std::vector<std::string>{SOLVEI_SIM_PATH, "--udp", "127.0.0.1:0"},
        std::map<std::string, std::string>{});
    const auto address = sim_->ReadLine(10s);
    ASSERT_TRUE(address);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(*address, match, std::regex("udp 127\\.0\\.0\\.1:(\\d+)")));

    // Stored settings that point at the simulator, as a previous run would leave them.
    const QString settingsDir = QString::fromStdString(Path("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
    {
        CConnectionSettings settings;
        settings.ReadRegistry();
        settings.Load();
        settings.host = "127.0.0.1";
        settings.port = static_cast<std::uint32_t>(std::stoul(match[1].str()));
        settings.Save();
        settings.WriteRegistry();
    }

    // Where the keys are: the shipped skin's places and image sizes.
    NoBoxes boxes;
    const fs::path shipped(SOLVEI_SHIPPED_SKIN);
    CSkinManager skin(shipped.parent_path().string(), std::string(), boxes);
    ASSERT_TRUE(skin.ChangeSkin(shipped.filename().string()));
    CSkin& s = *skin.Current();
    const auto centre = [&](const char* section) {
        const QImage* up = s.GetImage(section, "up", 1);
        const QSize size = up != nullptr ? up->size() : QSize(0, 0);
        return QPoint(s.GetLong(section, "offset_left") + size.width() / 2,
                      s.GetLong(section, "offset_top") + size.height() / 2);
    };
    const QRect leds(s.GetLong("Leds", "offset_left"), s.GetLong("Leds", "offset_top"),
                     s.GetLong("Leds", "width"), s.GetLong("Leds", "height"));

    remote_ = std::make_unique<TestProcess>(
        std::vector<std::string>{"/bin/sh", "-c", "cd \"$1\" && exec \"$2\"", "sh", Path("work"),
                                 SOLVEI_REMOTE_PATH},
        std::map<std::string, std::string>{{"DISPLAY", display_},
                                           {"QT_QPA_PLATFORM", "xcb"},
                                           {"SOLVEI_SETTINGS_DIR", Path("settings")},
                                           {"TMPDIR", Path("tmp")}});
    std::optional<QPoint> place;
    ASSERT_TRUE(WaitFor([&] { return (place = WindowPlace()).has_value(); }, 20s));
    const QImage offline = Shot("offline.png").copy(leds.translated(*place));

    Click(*place + centre("BtnConnect"));
    ASSERT_TRUE(WaitFor([&] { return WindowName() == "Solvei V1.23"; }, 20s)) << WindowName();
    // Live meters: the panel lights up and keeps changing.
    QImage last;
    int changes = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            const QImage now = Shot("online.png").copy(leds.translated(*place));
            if (now != offline && !last.isNull() && now != last) {
                ++changes;
            }
            last = now;
            return changes >= 2;
        },
        30s));

    Click(*place + centre("BtnExit"));
    TestProcess::Result end = remote_->Finish(10s);
    EXPECT_EQ(end.exitCode, 0) << end.err;
    remote_.reset();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(Path("work"))) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{});
}

} // namespace
