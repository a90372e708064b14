// A whole snapshot of the simulator over UDP on 127.0.0.1 (aim: under 1 s) and over its
// pseudo-terminal paced at 19200 baud (aim: within 1.3 times the line time of the bytes on the
// wire), through the same link session and snapshot taker solvei-ctl uses, and writing and
// reading its file.
#include <chrono>
#include <string>

#include <asio/ip/address.hpp>
#include <benchmark/benchmark.h>

#include "ctl/CLinkSession.h"
#include "ctl/CSessionSnapshotLink.h"
#include "link/CConnectionSettings.h"
#include "sim/CLinePacer.h"
#include "snapshot/CSnapshotTaker.h"
#include "snapshot/SnapshotFile.h"
#include "support/ScratchFolder.h"
#include "support/SimOnThread.h"

namespace {

// The simulator over UDP on 127.0.0.1.
class UdpSim : public SimOnThread {
public:
    UdpSim() {
        (void)udp.Open({asio::ip::make_address("127.0.0.1"), 0});
        Run();
    }
    unsigned short Port() const { return udp.LocalEndpoint().port(); }
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
    UdpSim sim;
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

// The simulator serving its pseudo-terminal at a line rate, the link in a folder of its own.
class SerialSim {
public:
    explicit SerialSim(int baud) : sim(baud) {
        std::string error;
        opened = !folder.Path().empty() && sim.pty.Open(Link(), error);
        sim.Run();
    }
    std::string Link() const { return folder.File("serial"); }

    ScratchFolder folder{"solvei-snapshot-bench"};
    SimOnThread sim;
    bool opened = false;
};

// The same snapshot over a serial line at 19200 baud, 8N1. A half-duplex exchange cannot be
// faster than its bytes both ways at the line rate; the link makes no pauses of its own
// between packets (it sends each request as soon as the reply to the last one is in; its only
// timers are the reply time-out and the LED poll, which a snapshot does not use), so that line
// time is the whole floor. "ratio" is the measured time over it. With the argument 0 the
// line is not paced: what the pseudo-terminal path costs by itself.
void BM_SnapshotOverSerial(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    SerialSim serial(baud);
    if (!serial.opened) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    CConnectionSettings settings = Settings(0);
    settings.serial = 1;
    settings.portName = serial.Link();
    settings.baud = 1; // 19200, the application's rate (a pseudo-terminal ignores it)
    double wireBytes = 0;
    double lineSeconds = 0;
    double measured = 0;
    std::size_t replies =
        0; // each one ends an exchange: what the time beyond the line is spread over
    for (auto _ : state) {
        const auto before = serial.sim.pty.BytesReceived() + serial.sim.pty.BytesSent();
        const auto start = std::chrono::steady_clock::now();
        CLinkSession session(settings, [&replies](const std::string& line) {
            replies += line.rfind("Recieved ", 0) == 0 ? 1 : 0;
        });
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
        (void)session.Disconnect();
        measured += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto bytes = serial.sim.pty.BytesReceived() + serial.sim.pty.BytesSent() - before;
        wireBytes += double(bytes);
        if (baud > 0) {
            lineSeconds +=
                std::chrono::duration<double>(CLinePacer::ByteTime(baud)).count() * double(bytes);
        }
    }
    const double n = double(state.iterations());
    state.counters["wire_bytes"] = wireBytes / n;
    state.counters["replies"] = double(replies) / n;
    state.counters["beyond_line_us_per_reply"] = 1e6 * (measured - lineSeconds) / double(replies);
    if (baud > 0) {
        state.counters["line_ms"] = 1000.0 * lineSeconds / n;
        state.counters["ratio"] = measured / lineSeconds;
    }
}
BENCHMARK(BM_SnapshotOverSerial)
    ->ArgName("baud")
    ->Arg(19200)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SnapshotFileWriteAndRead(benchmark::State& state) {
    UdpSim sim;
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
