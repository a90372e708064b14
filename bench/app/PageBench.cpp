// Parameter pages: building the largest page of the simulator's description, and switching
// to it against a real solvei-sim over UDP until every control is read, beside a bare UDP
// round trip of a parameter read measured in the same run.
#include <arpa/inet.h>
#include <chrono>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include "description/ControlDescription.h"
#include "description/IParameterLink.h"
#include "description/IParameterLog.h"
#include "description/IParameterModelHost.h"
#include "description/ParameterModel.h"
#include "link/CLinkEngine.h"
#include "link/LinkPacket.h"
#include "pages/CPageController.h"
#include "pages/EngineModelLink.h"
#include "pages/SimPeer.h"
#include "pages/CPageTree.h"
#include "pages/IPageHost.h"
#include "pages/PageBuilder.h"
#include "pages/ParameterPage.h"
#include "sim/CSimDescription.h"
#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"

namespace {

class QuietMessages : public IMessageBox {
public:
    void Show(const std::string&, const std::string&, Icon) override {}
};

class CountingLog : public IParameterLog {
public:
    void Log(const std::string& line) override {
        if (line == "All Controls Updated") {
            ++refreshed;
        }
    }
    int refreshed = 0;
};

std::shared_ptr<ControlNode> BuiltinRoot() {
    std::string error;
    ControlDescription description;
    description.Parse(*CSimDescription::Builtin(error));
    return description.Root();
}

std::size_t ItemCount(const ControlNode& node) {
    std::size_t count = 0;
    for (const auto& set : node.sets) {
        count += set->items.size();
    }
    return count;
}

// The page with the most controls, by its tree index.
int LargestPage(const CPageTree& tree) {
    int best = -1;
    std::size_t most = 0;
    for (int i = 0; i < tree.PageCount(); ++i) {
        const std::size_t count = ItemCount(*tree.Lookup(i)->node);
        if (count > most) {
            most = count;
            best = i;
        }
    }
    return best;
}

class OfflineLink : public IParameterLink {
public:
    bool IsConnected() const override { return false; }
    void ReadParameter(const ParamAddress&) override {}
    void WriteParameter(const ParamAddress&, std::uint8_t) override {}
    void SetPolling(bool) override {}
};

class Host : public IPageHost, public IParameterModelHost {
public:
    QWidget* PageParent() override { return &window; }
    QRect PageArea() const override { return QRect(284, 226, 628, 362); }
    QFont WindowFont() const override { return window.font(); }
    bool IsCompareLatched() const override { return false; }
    bool IsTreeLatched() const override { return true; }
    void HideSettingsPanel() override {}
    std::vector<std::string> PresetNames() const override { return {"U1: Talk", "U2: Music"}; }
    void OnPageRefreshed() override {
        if (pages != nullptr) {
            pages->OnPageRefreshed();
        }
    }
    void RebuildPageTree() override {}
    void RebuildCurrentPage() override {}
    bool IsPresetDownloadRunning() const override { return false; }

    QWidget window;
    CPageController* pages = nullptr;
};

void BM_BuildLargestPage(benchmark::State& state) {
    QuietMessages messages;
    CSkinManager skin(SOLVEI_SHIPPED_SKINS, std::string(), messages);
    if (!skin.ChangeSkin("Solvei")) {
        state.SkipWithError("no skin");
        return;
    }
    const auto root = BuiltinRoot();
    CPageTree tree(&skin);
    tree.Build(root);
    const CPageTree::Page* page = tree.Lookup(LargestPage(tree));
    OfflineLink link;
    CountingLog log;
    Host host;
    host.window.resize(940, 612);
    host.window.show();
    ParameterModel model(link, log, host);
    PageContext context;
    context.skin = &skin;
    context.model = &model;
    context.registry = &model.Registry();
    const PageBuilder builder(context);
    PresetNameFields fields;
    for (auto _ : state) {
        fields.clear();
        auto built =
            builder.BuildPage(&host.window, QSize(628, 362), &page->node->sets, page->path, fields);
        built->show();
        benchmark::DoNotOptimize(built.get());
    }
    state.SetLabel(page->path + ", " + std::to_string(ItemCount(*page->node)) + " items");
}
BENCHMARK(BM_BuildLargestPage)->Unit(benchmark::kMillisecond);

// Mean seconds of a Read parameter request and its reply on a plain UDP socket.
double BareReadRoundTrip(unsigned short port, int trips) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    const ByteString request = BuildReadParameter(0, 1, 0);
    unsigned char reply[64];
    const auto start = std::chrono::steady_clock::now();
    int answered = 0;
    for (int i = 0; i < trips; ++i) {
        if (::send(fd, request.data(), request.size(), 0) < 0) {
            break;
        }
        if (::recv(fd, reply, sizeof reply, 0) > 0) {
            ++answered;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::close(fd);
    return answered > 0 ? seconds / answered : 0.0;
}

// Waits in the event loop (without spinning) until done() or the deadline.
template <typename Done> bool WaitFor(Done done, int ms) {
    QDeadlineTimer deadline(ms);
    QTimer wake;
    wake.start(50);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

void BM_PageSwitchAgainstSimulator(benchmark::State& state) {
    SimPeer sim;
    QuietMessages messages;
    CSkinManager skin(SOLVEI_SHIPPED_SKINS, std::string(), messages);
    if (sim.Port() == 0 || !skin.ChangeSkin("Solvei")) {
        state.SkipWithError("no simulator or no skin");
        return;
    }
    CLinkEngine* engine = nullptr;
    EngineParameterLink link(engine);
    CountingLog log;
    Host host;
    host.window.resize(940, 612);
    host.window.show();
    ParameterModel model(link, log, host);
    CPageTree tree(&skin);
    tree.Create(&host.window, 1011);
    CPageController pages(host, model, tree, &skin);
    host.pages = &pages;
    QObject receiver;
    ModelPostingListener listener(receiver, model);
    auto owned = ConnectEngineToSimulator(listener, sim.Port());
    engine = owned.get();
    model.OnConnectStarted();
    if (!WaitFor([&] { return listener.connected; }, 10000)) {
        state.SkipWithError("no connection");
        return;
    }
    pages.OnDescriptionLoaded(BuiltinRoot());
    if (!WaitFor([&] { return !model.InInitialRead(); }, 10000)) {
        state.SkipWithError("initial read did not end");
        return;
    }
    const int index = LargestPage(tree);
    // Arg 1: the page is built anew, then read; arg 0: the page shown is read again.
    const bool rebuild = state.range(0) != 0;
    pages.ShowPage(index, true);
    WaitFor([&] { return log.refreshed > 0; }, 10000);
    // The bare round trip is taken before and after the switches, so that a change of load
    // on the machine weighs on both sides of the ratio alike.
    const double bareBefore = BareReadRoundTrip(sim.Port(), 1000);
    std::size_t reads = 0;
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int before = log.refreshed;
        pages.ShowPage(index, rebuild);
        if (!WaitFor([&] { return log.refreshed > before; }, 10000)) {
            state.SkipWithError("page refresh did not end");
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        reads = model.Registry().Size();
    }
    const double bare = (bareBefore + BareReadRoundTrip(sim.Port(), 1000)) / 2;
    const double perSwitch = state.iterations() > 0 ? total / state.iterations() : 0;
    state.counters["reads"] = static_cast<double>(reads);
    state.counters["bare_rtt_us"] = bare * 1e6;
    state.counters["ratio"] = bare > 0 && reads > 0 ? perSwitch / (reads * bare) : 0;
    host.pages = nullptr;
    owned.reset();
    engine = nullptr;
}
BENCHMARK(BM_PageSwitchAgainstSimulator)
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
