#include <chrono>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <optional>
#include <sstream>
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

// The real program under Xvfb against the real simulator, driven with xdotool and looked at
// with ImageMagick's import, as an operator would.
class RemoteEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto missing = XvfbDisplay::MissingTool()) {
            GTEST_SKIP() << *missing << " is not installed";
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
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }

    std::string Path(const std::string& sub) const { return (dir_ / sub).string(); }

    // The main window's top-left corner on the screen.
    std::optional<QPoint> WindowPlace() const {
        const auto id = display_.MainWindowId();
        const auto geometry = id ? display_.Geometry(*id) : std::nullopt;
        return geometry ? std::optional<QPoint>(geometry->topLeft()) : std::nullopt;
    }

    std::string WindowName() const {
        const auto id = display_.MainWindowId();
        return id ? display_.WindowName(*id) : std::string();
    }

    fs::path dir_;
    XvfbDisplay display_;
    std::unique_ptr<TestProcess> sim_;
    std::unique_ptr<TestProcess> remote_;
};

TEST_F(RemoteEndToEndTest, ConnectShowsLiveMetersAndExitLeavesNothingBehind) {
    ASSERT_TRUE(display_.Start("1280x800x24")) << "Xvfb did not start";
    const auto simPort = StartSimulator(sim_);
    ASSERT_TRUE(simPort);

    // Stored settings that point at the simulator, as a previous run would leave them.
    const QString settingsDir = QString::fromStdString(Path("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
    {
        CConnectionSettings settings;
        settings.ReadRegistry();
        settings.Load();
        settings.host = "127.0.0.1";
        settings.port = *simPort;
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

    remote_ = StartRemote(display_, Path("work"), Path("settings"), Path("tmp"));
    std::optional<QPoint> place;
    ASSERT_TRUE(XvfbDisplay::WaitFor([&] { return (place = WindowPlace()).has_value(); }, 20s));
    const QImage offline = display_.Shot(Path("offline.png")).copy(leds.translated(*place));

    EXPECT_TRUE(display_.Click(*place + centre("BtnConnect")));
    ASSERT_TRUE(XvfbDisplay::WaitFor([&] { return WindowName() == "Solvei V1.23"; }, 20s))
        << WindowName();
    // Live meters: the panel lights up and keeps changing.
    QImage last;
    int changes = 0;
    ASSERT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const QImage now = display_.Shot(Path("online.png")).copy(leds.translated(*place));
            if (now != offline && !last.isNull() && now != last) {
                ++changes;
            }
            last = now;
            return changes >= 2;
        },
        30s));

    EXPECT_TRUE(display_.Click(*place + centre("BtnExit")));
    TestProcess::Result end = remote_->Finish(10s);
    EXPECT_EQ(end.exitCode, 0) << end.err;
    remote_.reset();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(Path("work"))) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{});
}

// A wrong lock code: the skinned "Incorrect Password" box opens over the window, centred on it,
// drawn from the skin's own image with its corners cut; Enter closes it and the window stays.
TEST_F(RemoteEndToEndTest, WrongLockCodeShowsTheSkinnedBoxAndEnterClosesIt) {
    ASSERT_TRUE(display_.Start("1280x800x24")) << "Xvfb did not start";
    const auto simPort = StartSimulator(sim_);
    ASSERT_TRUE(simPort);
    const QString settingsDir = QString::fromStdString(Path("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
    {
        CConnectionSettings settings;
        settings.ReadRegistry();
        settings.Load();
        settings.host = "127.0.0.1";
        settings.port = *simPort;
        settings.lockCode = 1234; // the simulator's is 7
        settings.Save();
        settings.WriteRegistry();
    }
    NoBoxes boxes;
    const fs::path shipped(SOLVEI_SHIPPED_SKIN);
    CSkinManager skin(shipped.parent_path().string(), std::string(), boxes);
    ASSERT_TRUE(skin.ChangeSkin(shipped.filename().string()));
    CSkin& s = *skin.Current();
    const QImage* up = s.GetImage("BtnConnect", "up", 1);
    ASSERT_NE(up, nullptr);
    const QPoint connect(s.GetLong("BtnConnect", "offset_left") + up->width() / 2,
                         s.GetLong("BtnConnect", "offset_top") + up->height() / 2);
    const QImage* face = s.GetImage("MsgBox", "background", 1);
    ASSERT_NE(face, nullptr);
    const QImage boxImage = face->convertToFormat(QImage::Format_RGB32);

    remote_ = StartRemote(display_, Path("work"), Path("settings"), Path("tmp"));
    std::optional<QPoint> place;
    ASSERT_TRUE(XvfbDisplay::WaitFor([&] { return (place = WindowPlace()).has_value(); }, 20s));
    const auto mainId = display_.MainWindowId();
    ASSERT_TRUE(mainId);
    const auto main = display_.Geometry(*mainId);
    ASSERT_TRUE(main);
    EXPECT_TRUE(display_.Click(*place + connect));

    // The box: the window named by the skin's caption for boxes, of the skin image's size.
    std::optional<std::string> boxId;
    std::optional<QRect> box;
    ASSERT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const auto found =
                display_.X({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Solvei$"});
            std::istringstream ids(found.out);
            for (std::string id; std::getline(ids, id);) {
                box = display_.Geometry(id);
                if (box && box->size() == boxImage.size()) {
                    boxId = id;
                    return true;
                }
            }
            return false;
        },
        60s))
        << "no skinned box";
    EXPECT_LE(std::abs(box->center().x() - main->center().x()), 1);
    EXPECT_LE(std::abs(box->center().y() - main->center().y()), 1);
    const QImage shot = display_.Shot(Path("box.png"));
    ASSERT_FALSE(shot.isNull());
    // The skin's own pixels where no text goes (the rule under the caption, the face near
    // the bottom left), and the main window through the cut corner.
    for (const QPoint at : {QPoint(230, 43), QPoint(30, 180), QPoint(230, 150)}) {
        EXPECT_EQ(shot.pixel(box->topLeft() + at) & 0xFFFFFF, boxImage.pixel(at) & 0xFFFFFF)
            << at.x() << "," << at.y();
    }
    EXPECT_NE(shot.pixel(box->topLeft()) & 0xFFFFFF, 0xFF00FFu);
    if (const char* shots = std::getenv("SOLVEI_SHOT_DIR"); shots != nullptr) {
        shot.save(QString::fromStdString(std::string(shots) + "/incorrect-password-xvfb.png"));
    }

    EXPECT_EQ(display_.X({"/usr/bin/xdotool", "key", "Return"}).exitCode, 0);
    EXPECT_TRUE(XvfbDisplay::WaitFor(
        [&] {
            const auto found =
                display_.X({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Solvei$"});
            return found.out.find(*boxId) == std::string::npos;
        },
        20s))
        << "Enter did not close the box";
    EXPECT_TRUE(display_.MainWindowId().has_value());
}

} // namespace
