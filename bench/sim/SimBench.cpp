// Round trips through the whole link engine against the simulator over UDP on 127.0.0.1,
// each next to a bare UDP ping-pong of the same packet sizes, so the engine's own cost shows
// as the ratio between the two.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <benchmark/benchmark.h>

#include "BareUdpPeer.h"
#include "ctl/CLinkSession.h"
#include "link/CConnectionSettings.h"
#include "sim/CFaultInjector.h"
#include "sim/CProcessor.h"
#include "sim/CSimDescription.h"
#include "sim/CSimService.h"
#include "sim/CUdpTransport.h"

namespace {

// The simulator on its own thread, as solvei-sim runs it, with a description of the given
// size (0: the built-in one).
class Sim {
public:
    explicit Sim(std::size_t descriptionBytes = 0)
        : processor(Config(descriptionBytes), CProcessor::Clock::now()), faults({}),
          service(processor, faults, nullptr), udp(io, service) {
        (void)udp.Open({asio::ip::make_address("127.0.0.1"), 0});
        thread = std::thread([this] { io.run(); });
    }
    ~Sim() {
        io.stop();
        thread.join();
    }
    unsigned short Port() const { return udp.LocalEndpoint().port(); }

    static CProcessor::Config Config(std::size_t descriptionBytes) {
        std::string error;
        CProcessor::Config config;
        config.description = *CSimDescription::Builtin(error);
        config.parameters = CSimDescription::Catalog(config.description);
        if (descriptionBytes > 0) {
            config.description.assign(descriptionBytes, 0x5A);
        }
        return config;
    }

    asio::io_context io;
    CProcessor processor;
    CFaultInjector faults;
    CSimService service;
    CUdpTransport udp;
    std::thread thread;
};

// A link session connected to the simulator; counts the replies it receives.
struct Link {
    explicit Link(unsigned short port)
        : session(settings, [this](const std::string& line) {
              if (line.rfind("Recieved ", 0) == 0) {
                  ++replies;
              }
          }) {
        settings.SetLinkDefaults();
        settings.serial = 0;
        settings.host = "127.0.0.1";
        settings.port = port;
        settings.lockCode = 7;
        ok = session.Connect() == CLinkSession::Status::Ok;
    }
    ~Link() { (void)session.Disconnect(); }

    CConnectionSettings settings;
    std::atomic<long> replies{0};
    CLinkSession session;
    bool ok = false;
};

void PingPong(int fd, std::size_t requestBytes) {
    std::vector<std::uint8_t> request(requestBytes, 0x81);
    std::uint8_t buffer[512];
    ::send(fd, request.data(), request.size(), 0);
    ::recv(fd, buffer, sizeof buffer, 0);
}

// --- Parameter reads: 5-byte request, 7-byte reply.

void BM_EngineReadParameter(benchmark::State& state) {
    Sim sim;
    Link link(sim.Port());
    if (!link.ok) {
        state.SkipWithError("no connection");
        return;
    }
    std::uint8_t value = 0;
    for (auto _ : state) {
        if (link.session.ReadParameter(0, 0, 0, value) != CLinkSession::Status::Ok) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EngineReadParameter)->UseRealTime();

// The same reads cut into stages by the link's own log lines: from the call until the engine's
// thread sends ("Read : ..."), from there until the reply is in ("Recieved ..."), and from
// there until the caller has the value.
void BM_EngineReadParameterStages(benchmark::State& state) {
    Sim sim;
    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::rep> sentAt{0};
    std::atomic<Clock::rep> receivedAt{0};
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    settings.host = "127.0.0.1";
    settings.port = sim.Port();
    CLinkSession session(settings, [&](const std::string& line) {
        const auto now = Clock::now().time_since_epoch().count();
        if (line.rfind("Read : ", 0) == 0) {
            sentAt = now;
        } else if (line.rfind("Recieved ", 0) == 0) {
            receivedAt = now;
        }
    });
    if (session.Connect() != CLinkSession::Status::Ok) {
        state.SkipWithError("no connection");
        return;
    }
    double toSend = 0, toReply = 0, toCaller = 0;
    std::uint8_t value = 0;
    for (auto _ : state) {
        const auto start = Clock::now().time_since_epoch().count();
        (void)session.ReadParameter(0, 0, 0, value);
        const auto end = Clock::now().time_since_epoch().count();
        toSend += double(sentAt - start);
        toReply += double(receivedAt - sentAt);
        toCaller += double(end - receivedAt);
    }
    (void)session.Disconnect();
    const double n = double(state.iterations()) * 1000.0; // ns to us, per read
    state.counters["call_to_send_us"] = toSend / n;
    state.counters["send_to_reply_us"] = toReply / n;
    state.counters["reply_to_caller_us"] = toCaller / n;
}
BENCHMARK(BM_EngineReadParameterStages)->UseRealTime();

// A bare UDP peer that answers every datagram with replyBytes bytes, nothing else.
void AnswerWith(BareUdpPeer& peer, std::size_t replyBytes) {
    peer.AnswerEvery(ByteString(replyBytes, 0x06));
}

void BM_BareReadSizedPingPong(benchmark::State& state) {
    BareUdpPeer peer;
    AnswerWith(peer, 7);
    const int fd = peer.ConnectedClient();
    for (auto _ : state) {
        PingPong(fd, 5);
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareReadSizedPingPong)->UseRealTime();

// --- XModem, 64 KiB each way: 512 blocks of 132 bytes answered by one byte, or the reverse.

constexpr std::size_t k64KiB = 64 * 1024;

void BM_EngineXModemSend64KiB(benchmark::State& state) {
    Sim sim;
    Link link(sim.Port());
    const ByteString image(k64KiB, 0xA5);
    for (auto _ : state) {
        if (link.session.SendUpgrade(image, nullptr) != CLinkSession::Status::Ok) {
            state.SkipWithError("upgrade failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(k64KiB));
}
BENCHMARK(BM_EngineXModemSend64KiB)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_EngineXModemReceive64KiB(benchmark::State& state) {
    Sim sim(k64KiB);
    Link link(sim.Port());
    ByteString data;
    for (auto _ : state) {
        if (link.session.GetConfig(7, data) != CLinkSession::Status::Ok) {
            state.SkipWithError("receive failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(k64KiB));
}
BENCHMARK(BM_EngineXModemReceive64KiB)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_BareBlockPingPong64KiB(benchmark::State& state) {
    const bool sending = state.range(0) == 1;
    BareUdpPeer peer;
    AnswerWith(peer, sending ? 1 : 132);
    const int fd = peer.ConnectedClient();
    for (auto _ : state) {
        for (std::size_t block = 0; block < k64KiB / 128; ++block) {
            PingPong(fd, sending ? 132 : 1);
        }
    }
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * static_cast<long>(k64KiB));
}
BENCHMARK(BM_BareBlockPingPong64KiB)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// --- What solvei-ctl describe and presets do, counted in exchanges.

void BM_EngineDescribeAndPresets(benchmark::State& state) {
    Sim sim;
    Link link(sim.Port());
    long exchanges = 0;
    for (auto _ : state) {
        const long before = link.replies.load();
        std::string version;
        ByteString data;
        int count = 0;
        bool ok = link.session.ReadVersion(version) == CLinkSession::Status::Ok &&
                  link.session.GetConfig(7, data) == CLinkSession::Status::Ok &&
                  link.session.GetFactoryPresetNumber(count) == CLinkSession::Status::Ok;
        for (int n = 0; ok && n < count; ++n) {
            ok = link.session.GetPreset(static_cast<std::uint8_t>(n), data) ==
                 CLinkSession::Status::Ok;
        }
        if (!ok) {
            state.SkipWithError("describe or presets failed");
            break;
        }
        exchanges = link.replies.load() - before;
    }
    state.counters["exchanges"] = static_cast<double>(exchanges);
}
BENCHMARK(BM_EngineDescribeAndPresets)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
