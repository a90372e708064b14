#include "app/XvfbDisplay.h"

#include <csignal>
#include <regex>
#include <sstream>
#include <unistd.h>

using namespace std::chrono_literals;

XvfbDisplay::~XvfbDisplay() {
    if (server_) {
        server_->Stop(SIGTERM, 10s);
    }
}

std::optional<std::string> XvfbDisplay::MissingTool() {
    for (const char* tool : {"Xvfb", "xdotool", "import"}) {
        if (TestProcess::Run({"/usr/bin/which", tool}, {}, 10s).exitCode != 0) {
            return std::string(tool);
        }
    }
    return std::nullopt;
}

bool XvfbDisplay::Start(const std::string& screen) {
    // Numbered away from the low numbers that other programs take first; a number in use
    // makes Xvfb end, and the next one is tried. Without -noreset the server restarts
    // whenever its last client leaves, and a program connecting at that moment is refused.
    for (int attempt = 0; attempt < 20 && name_.empty(); ++attempt) {
        const std::string number = std::to_string(300 + (::getpid() + attempt * 7) % 600);
        server_ = std::make_unique<TestProcess>(
            std::vector<std::string>{"/usr/bin/Xvfb", ":" + number, "-displayfd", "1", "-screen",
                                     "0", screen, "-nolisten", "tcp", "-noreset"},
            std::map<std::string, std::string>{});
        if (server_->ReadLine(20s) == number) {
            name_ = ":" + number;
        }
    }
    return !name_.empty();
}

TestProcess::Result XvfbDisplay::X(const std::vector<std::string>& argv) const {
    return TestProcess::Run(argv, {{"DISPLAY", name_}}, 20s);
}

QImage XvfbDisplay::Shot(const std::string& file) const {
    if (X({"/usr/bin/import", "-window", "root", file}).exitCode != 0) {
        return {};
    }
    return QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
}

std::optional<std::string> XvfbDisplay::MainWindowId() const {
    const auto found = X({"/usr/bin/xdotool", "search", "--name", "^Solvei (Remote|V)"});
    std::istringstream ids(found.out);
    for (std::string id; std::getline(ids, id);) {
        const auto geometry = Geometry(id);
        if (geometry && geometry->width() > 100 && geometry->height() > 100) {
            return id;
        }
    }
    return std::nullopt;
}

std::optional<QRect> XvfbDisplay::Geometry(const std::string& id) const {
    const auto out = X({"/usr/bin/xdotool", "getwindowgeometry", "--shell", id}).out;
    std::smatch m;
    if (!std::regex_search(out, m,
                           std::regex("X=(-?\\d+)\\s+Y=(-?\\d+)\\s+WIDTH=(\\d+)\\s+HEIGHT=(\\d+)"))) {
        return std::nullopt;
    }
    return QRect(std::stoi(m[1].str()), std::stoi(m[2].str()), std::stoi(m[3].str()),
                 std::stoi(m[4].str()));
}

std::string XvfbDisplay::WindowName(const std::string& id) const {
    std::string name = X({"/usr/bin/xdotool", "getwindowname", id}).out;
    while (!name.empty() && name.back() == '\n') {
        name.pop_back();
    }
    return name;
}

bool XvfbDisplay::Click(QPoint at) const {
    return X({"/usr/bin/xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()),
              "click", "1"})
               .exitCode == 0;
}

std::unique_ptr<TestProcess> StartRemote(const XvfbDisplay& display, const std::string& workDir,
                                         const std::string& settingsDir,
                                         const std::string& tmpDir,
                                         const std::map<std::string, std::string>& extraEnv) {
    std::map<std::string, std::string> env = {{"DISPLAY", display.Name()},
                                              {"QT_QPA_PLATFORM", "xcb"},
                                              {"SOLVEI_SETTINGS_DIR", settingsDir},
                                              {"TMPDIR", tmpDir}};
    env.insert(extraEnv.begin(), extraEnv.end());
    return std::make_unique<TestProcess>(
        std::vector<std::string>{"/bin/sh", "-c", "cd \"$1\" && exec \"$2\"", "sh", workDir,
                                 SOLVEI_REMOTE_PATH},
        env);
}

std::optional<unsigned short> StartSimulator(std::unique_ptr<TestProcess>& sim) {
    sim = std::make_unique<TestProcess>(
        std::vector<std::string>{SOLVEI_SIM_PATH, "--udp", "127.0.0.1:0"},
        std::map<std::string, std::string>{});
    const auto address = sim->ReadLine(10s);
    std::smatch match;
    if (!address || !std::regex_match(*address, match, std::regex("udp 127\\.0\\.0\\.1:(\\d+)"))) {
        return std::nullopt;
    }
    return static_cast<unsigned short>(std::stoul(match[1].str()));
}
