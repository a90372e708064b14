#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>

#include <benchmark/benchmark.h>

#include "app/CConnectSequence.h"
#include "app/CDebugDlg.h"
#include "app/CDlgMain.h"
#include "app/CLedPanel.h"
#include "app/CLinkEvent.h"
#include "app/CPresetList.h"
#include "app/CSettingsDlg.h"
#include "app/IOperatorDialogs.h"
#include "app/LinkMessages.h"
#include "link/BareUdpPeer.h"
#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"
#include "skin/CSkinManager.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class SilentDialogs : public IOperatorDialogs {
public:
    void Show(const std::string& text, const std::string&, Icon) override { last = text; }
    std::optional<std::string> ChooseOpenFile(const std::string&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const std::string&, const std::string&) override {
        return {};
    }
    bool Ask(const std::string&, const std::string&) override { return false; }
    std::string last;
};

// A main window with the shipped skin, its settings and working folder in a temporary folder.
struct Window {
    explicit Window(std::uint32_t port = 1203) {
        dir = fs::temp_directory_path() / ("solvei-app-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir / "settings");
        const QString settingsDir = QString::fromStdString((dir / "settings").string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
        previous = fs::current_path();
        fs::current_path(dir);
        settings.ReadRegistry();
        settings.Load();
        settings.host = "127.0.0.1";
        settings.port = port;
        settings.Save();
        skin = std::make_unique<CSkinManager>(SOLVEI_SHIPPED_SKINS, std::string(), dialogs);
        skin->ChangeSkin("Solvei");
        window = std::make_unique<CDlgMain>(skin.get(), settings, dialogs);
        window->Create(nullptr, std::nullopt, true);
    }
    ~Window() {
        window.reset();
        skin.reset();
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    fs::path dir;
    fs::path previous;
    CConnectionSettings settings;
    SilentDialogs dialogs;
    std::unique_ptr<CSkinManager> skin;
    std::unique_ptr<CDlgMain> window;
};

// An LED state as the processor sends it, with meters that move from one reply to the next.
ByteString LedReply(int step) {
    ByteString reply(29, 0);
    reply[0] = 0x06;
    reply[1] = 0x82;
    reply[5] = 0x02;
    for (int r = 0; r < 8; ++r) {
        reply[6 + 2 * r] = static_cast<std::uint8_t>(0x80 | ((step * 7 + r * 5) % 33));
        reply[7 + 2 * r] = static_cast<std::uint8_t>((step * 3 + r) % 33);
    }
    return reply;
}

// One LED reply from its posting by the link's listener to the repainted meters.
void BM_LedReplyEndToEnd(benchmark::State& state) {
    Window w;
    int step = 0;
    for (auto _ : state) {
        QCoreApplication::postEvent(w.window.get(),
                                    new CLinkEvent(WM_LINK_LEDS, 0, LedReply(++step)));
        QCoreApplication::sendPostedEvents(w.window.get(), WM_LINK_LEDS);
        w.window->Leds()->repaint();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LedReplyEndToEnd)->Unit(benchmark::kMicrosecond);

// The bare cost of one exchange: a 5-byte datagram answered by a 7-byte one on 127.0.0.1.
double BareRoundTripUs() {
    BareUdpPeer peer;
    peer.AnswerEvery(ByteString(7, 0x06));
    const int fd = peer.ConnectedClient();
    std::uint8_t request[5] = {0x81, 0, 0, 0, 0x81};
    std::uint8_t buffer[64];
    constexpr int kRounds = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        ::send(fd, request, sizeof request, 0);
        ::recv(fd, buffer, sizeof buffer, 0);
    }
    const double us =
        std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRounds;
    ::close(fd);
    return us;
}

// From the Connect key to the window taking input again with every preset listed, against
// solvei-sim, beside what its exchanges and the required pauses cost at least.
void BM_ConnectUntilOnline(benchmark::State& state) {
    QProcess sim;
    sim.start(SOLVEI_SIM_PATH, {"--udp", "127.0.0.1:0"});
    if (!sim.waitForReadyRead(10000)) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    const QString line = QString::fromLatin1(sim.readLine()).trimmed();
    const std::uint32_t port = line.section(':', -1).toUInt();
    const double rttUs = BareRoundTripUs();
    Window w(port);
    CDlgMain& window = *w.window;
    // The debug window counts the exchanges ("Recieved" lines).
    window.DebugWindow()->EnableLogging();
    double exchanges = 0;
    double presets = 0;
    double presetReads = 0;
    double totalMs = 0;
    for (auto _ : state) {
        window.DebugWindow()->ClearLines();
        const auto start = Clock::now();
        window.OnConnectClicked();
        while (!(window.isEnabled() && !window.Sequence().Connecting())) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        totalMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!window.Engine().IsConnected()) {
            state.SkipWithError(("connect failed: " + w.dialogs.last).c_str());
            break;
        }
        state.PauseTiming();
        const DebugLineStore& lines = window.DebugWindow()->Lines();
        for (std::size_t i = 0; i < lines.Count(); ++i) {
            exchanges += lines.Line(i).find("Recieved") != std::string::npos ? 1 : 0;
            presetReads += lines.Line(i).find("Get Preset :") != std::string::npos ? 1 : 0;
        }
        int count = 0;
        while (window.PresetList()->HasPreset(count)) {
            ++count;
        }
        presets += count;
        window.OnConnectClicked();
        // Offline again once the window has handled the link's disconnect (the settings panel
        // is back); only then may the next connect start.
        while (window.Engine().IsConnected() || !window.SettingsPanel()->isVisible()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        state.ResumeTiming();
    }
    sim.terminate();
    sim.waitForFinished(5000);
    const double n = static_cast<double>(state.iterations());
    if (n == 0) {
        return;
    }
    const double idealMs = (exchanges / n) * rttUs / 1000.0 + (presets / n - 1) * 15.0;
    state.counters["connect_ms"] = totalMs / n;
    state.counters["exchanges"] = exchanges / n;
    state.counters["preset_reads"] = presetReads / n;
    state.counters["bare_rtt_us"] = rttUs;
    state.counters["floor_ms"] = idealMs;
    state.counters["ratio"] = (totalMs / n) / idealMs;
}
BENCHMARK(BM_ConnectUntilOnline)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace
