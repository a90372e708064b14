// A whole snapshot of the simulator over UDP on 127.0.0.1 (aim: under 1 s), through the same
// link session and snapshot taker solvei-ctl uses, and writing and reading its file.
#include <chrono>
#include <string>
#include <thread>

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <benchmark/benchmark.h>

#include "ctl/CLinkSession.h"
#include "ctl/CSessionSnapshotLink.h"
#include "link/CConnectionSettings.h"
#include "sim/CFaultInjector.h"
#include "sim/CProcessor.h"
#include "sim/CSimDescription.h"
#include "sim/CSimService.h"
#include "sim/CUdpTransport.h"
#include "snapshot/CSnapshotTaker.h"
#include "snapshot/SnapshotFile.h"

namespace {

// The simulator on its own thread, as solvei-sim runs it, with its built-in description.
class Sim {
public:
    Sim()
        : processor(Config(), CProcessor::Clock::now()), faults({}),
          service(processor, faults, nullptr), udp(io, service) {
        (void)udp.Open({asio::ip::make_address("127.0.0.1"), 0});
        thread = std::thread([this] { io.run(); });
    }
    ~Sim() {
        io.stop();
        thread.join();
    }
    unsigned short Port() const { return udp.LocalEndpoint().port(); }

    static CProcessor::Config Config() {
        std::string error;
        CProcessor::Config config;
        config.description = *CSimDescription::Builtin(error);
        config.parameters = CSimDescription::Catalog(config.description);
        return config;
    }

    asio::io_context io;
    CProcessor processor;
    CFaultInjector faults;
    CSimService service;
    CUdpTransport udp;
    std::thread thread;
};

CConnectionSettings Settings(unsigned short port) {
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    settings.serial = 0;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.lockCode = 7;
    return settings;
}

// Connect, take the whole snapshot, disconnect: what solvei-ctl snapshot does on the link.
void BM_SnapshotOverUdp(benchmark::State& state) {
    Sim sim;
    auto settings = Settings(sim.Port());
    std::size_t parameters = 0;
    for (auto _ : state) {
        CLinkSession session(settings, nullptr);
        if (session.Connect() != CLinkSession::Status::Ok) {
            state.SkipWithError("no connection");
            return;
        }
        CSessionSnapshotLink link(session, 7);
        Snapshot snapshot;
        if (CSnapshotTaker(link).Take({}, snapshot).result != ISnapshotLink::Result::Ok) {
            state.SkipWithError("snapshot failed");
            return;
        }
        parameters = snapshot.parameters.size();
        (void)session.Disconnect();
    }
    state.counters["parameters"] = double(parameters);
}
BENCHMARK(BM_SnapshotOverUdp)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotFileWriteAndRead(benchmark::State& state) {
    Sim sim;
    auto settings = Settings(sim.Port());
    CLinkSession session(settings, nullptr);
    if (session.Connect() != CLinkSession::Status::Ok) {
        state.SkipWithError("no connection");
        return;
    }
    CSessionSnapshotLink link(session, 7);
    Snapshot snapshot;
    (void)CSnapshotTaker(link).Take({}, snapshot);
    (void)session.Disconnect();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = SnapshotFile::Write(snapshot);
        std::string error;
        benchmark::DoNotOptimize(SnapshotFile::Read(text, "bench", error));
        bytes = text.size();
    }
    state.counters["file_bytes"] = double(bytes);
}
BENCHMARK(BM_SnapshotFileWriteAndRead)->Unit(benchmark::kMicrosecond);

} // namespace
BENCHMARK_MAIN();
