#include "app/RemoteOnXvfbTest.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <map>
#include <unistd.h>

#include <QSettings>

#include "link/CConnectionSettings.h"
#include "skin/CSkin.h"
#include "skin/CSkinManager.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

RemoteOnXvfbTest::RemoteOnXvfbTest() = default;
RemoteOnXvfbTest::~RemoteOnXvfbTest() = default;

void RemoteOnXvfbTest::SetUp() {
    if (const auto missing = XvfbDisplay::MissingTool()) {
        GTEST_SKIP() << *missing << " is not installed";
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("solvei-xvfb-" + std::to_string(::getpid()) + "-" + test->name());
    fs::remove_all(dir_);
    for (const char* sub : {"settings", "work", "tmp"}) {
        fs::create_directories(dir_ / sub);
    }
    const QString settingsDir = QString::fromStdString(Path("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
}

void RemoteOnXvfbTest::TearDown() {
    if (remote_) {
        remote_->Stop(SIGKILL, 10s);
    }
    if (sim_) {
        EXPECT_EQ(sim_->Stop(SIGTERM, 10s), 0) << "the simulator did not end cleanly";
    }
    if (!dir_.empty()) {
        fs::remove_all(dir_);
    }
}

bool RemoteOnXvfbTest::StartDisplayAndSimulator() {
    if (!display_.Start("1280x800x24")) {
        ADD_FAILURE() << "Xvfb did not start";
        return false;
    }
    const auto port = StartSimulator(sim_);
    if (!port) {
        ADD_FAILURE() << "the simulator did not say where it listens";
        return false;
    }
    simPort_ = *port;
    const fs::path shipped(SOLVEI_SHIPPED_SKIN);
    skin_ = std::make_unique<CSkinManager>(shipped.parent_path().string(), std::string(), boxes_);
    if (!skin_->ChangeSkin(shipped.filename().string())) {
        ADD_FAILURE() << "the shipped skin did not load";
        return false;
    }
    return true;
}

bool RemoteOnXvfbTest::StartSimulatorOn(unsigned short port) {
    sim_ = std::make_unique<TestProcess>(
        std::vector<std::string>{SOLVEI_SIM_PATH, "--udp", "127.0.0.1:" + std::to_string(port)},
        std::map<std::string, std::string>{});
    const auto line = sim_->ReadLine(10s);
    return line && line->rfind("udp 127.0.0.1:", 0) == 0;
}

void RemoteOnXvfbTest::StoreSettings(std::optional<int> lockCode) const {
    CConnectionSettings settings;
    settings.ReadRegistry();
    settings.Load();
    settings.host = "127.0.0.1";
    settings.port = simPort_;
    if (lockCode) {
        settings.lockCode = *lockCode;
    }
    settings.Save();
    settings.WriteRegistry();
}

std::optional<QPoint> RemoteOnXvfbTest::StartRemoteWindow() {
    remote_ = StartRemote(display_, Path("work"), Path("settings"), Path("tmp"));
    std::optional<QPoint> place;
    if (!XvfbDisplay::WaitFor([&] { return (place = WindowPlace()).has_value(); }, 20s)) {
        ADD_FAILURE() << "no main window";
    }
    return place;
}

std::string RemoteOnXvfbTest::Path(const std::string& sub) const {
    return (dir_ / sub).string();
}

std::string RemoteOnXvfbTest::ShotPath(const std::string& name) const {
    const char* keep = std::getenv("SOLVEI_SHOT_DIR");
    return keep != nullptr && *keep != '\0' ? (fs::path(keep) / name).string() : Path(name);
}

QRect RemoteOnXvfbTest::KeyRect(const char* section) const {
    const QImage* up = Skin().GetImage(section, "up", 1);
    return QRect(
        QPoint(Skin().GetLong(section, "offset_left"), Skin().GetLong(section, "offset_top")),
        up != nullptr ? up->size() : QSize(0, 0));
}

QRect RemoteOnXvfbTest::SectionRect(const char* section) const {
    return QRect(Skin().GetLong(section, "offset_left"), Skin().GetLong(section, "offset_top"),
                 Skin().GetLong(section, "width"), Skin().GetLong(section, "height"));
}

CSkin& RemoteOnXvfbTest::Skin() const {
    return *skin_->Current();
}

void RemoteOnXvfbTest::Key(const std::string& keys) const {
    EXPECT_EQ(display_.X({"/usr/bin/xdotool", "key", keys}).exitCode, 0) << keys;
}

std::string RemoteOnXvfbTest::WindowName() const {
    const auto id = display_.MainWindowId();
    return id ? display_.WindowName(*id) : std::string();
}

std::optional<QPoint> RemoteOnXvfbTest::WindowPlace() const {
    const auto id = display_.MainWindowId();
    const auto geometry = id ? display_.Geometry(*id) : std::nullopt;
    return geometry ? std::optional<QPoint>(geometry->topLeft()) : std::nullopt;
}

TestProcess::Result RemoteOnXvfbTest::Ctl(std::vector<std::string> command) const {
    command.insert(command.begin(),
                   {SOLVEI_CTL_PATH, "--host", "127.0.0.1", "--port", std::to_string(simPort_)});
    return TestProcess::Run(command, {}, 20s);
}
