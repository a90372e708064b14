#include "app/AppFixture.h"

#include <csignal>
#include <regex>
#include <unistd.h>

#include <QSettings>
#include <QTest>

#include "app/CDlgMain.h"
#include "skin/CSkinManager.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void AppFixture::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    dir_ = fs::temp_directory_path() / ("solvei-app-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "settings");
    fs::create_directories(dir_ / "work");
    const QString settingsDir = QString::fromStdString((dir_ / "settings").string());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
    previousFolder_ = fs::current_path();
    fs::current_path(dir_ / "work");

    settings_.ReadRegistry();
    settings_.Load();
    const fs::path shipped(SOLVEI_SHIPPED_SKIN);
    skin_ = std::make_unique<CSkinManager>(shipped.parent_path().string(), std::string(), dialogs_);
    ASSERT_TRUE(skin_->ChangeSkin(shipped.filename().string()));
}

void AppFixture::TearDown() {
    window_.reset();
    if (sim_) {
        EXPECT_EQ(sim_->Stop(SIGTERM, 10s), 0);
        sim_.reset();
    }
    skin_.reset();
    fs::current_path(previousFolder_);
    fs::remove_all(dir_);
}

void AppFixture::StartSim(const std::vector<std::string>& args, bool serial) {
    std::vector<std::string> argv = {SOLVEI_SIM_PATH};
    if (serial) {
        argv.insert(argv.end(), {"--no-udp", "--pty", Path("serial")});
    } else {
        argv.insert(argv.end(), {"--udp", "127.0.0.1:0"});
    }
    argv.insert(argv.end(), args.begin(), args.end());
    sim_ = std::make_unique<TestProcess>(argv, std::map<std::string, std::string>{});
    const auto line = sim_->ReadLine(10s);
    ASSERT_TRUE(line) << "the simulator printed no address";
    std::smatch match;
    if (serial) {
        ASSERT_TRUE(std::regex_match(*line, match, std::regex("serial (/dev/.+)"))) << *line;
        settings_.portName = Path("serial");
        settings_.serial = 1;
    } else {
        ASSERT_TRUE(std::regex_match(*line, match, std::regex("udp 127\\.0\\.0\\.1:(\\d+)")))
            << *line;
        settings_.portName = CConnectionSettings::kEthernetPortName;
        settings_.serial = 0;
        settings_.host = "127.0.0.1";
        settings_.port = static_cast<std::uint32_t>(std::stoul(match[1].str()));
    }
    settings_.Save();
}

CDlgMain& AppFixture::OpenWindow(bool shortTimeouts) {
    window_ = std::make_unique<CDlgMain>(skin_.get(), settings_, dialogs_);
    if (shortTimeouts) {
        window_->SetLinkTiming(CDlgMain::LinkTiming{200, 3});
    }
    window_->Create(nullptr, std::nullopt, true);
    return *window_;
}

bool AppFixture::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    return QTest::qWaitFor(done, static_cast<int>(deadline.count()));
}

bool AppFixture::ConnectAndWait() {
    window_->OnConnectClicked();
    // Over when the window takes input again: online after the presets, or offline.
    return WaitFor([this] {
        return window_->isEnabled() && window_->WaitWindow() == nullptr &&
               !window_->Sequence().Connecting();
    });
}

std::vector<std::string> AppFixture::WorkFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ / "work")) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}
