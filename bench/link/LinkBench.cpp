#include <condition_variable>
#include <mutex>

#include <benchmark/benchmark.h>

#include "BareUdpPeer.h"
#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"
#include "link/CReplyAccumulator.h"
#include "link/ILinkListener.h"
#include "link/LinkPacket.h"

namespace {

ByteString LedReply() {
    ByteString reply{0x06, 0x82};
    reply.resize(28, 0x40);
    reply.push_back(Checksum(reply));
    return reply;
}

// Cutting one LED reply out of a datagram, the work done for every poll.
void BM_CutLedReply(benchmark::State& state) {
    const ByteString reply = LedReply();
    CReplyAccumulator acc;
    const auto rule = [](const ByteString& b) { return ExpectedReplyLength(b); };
    std::size_t delivered = 0;
    for (auto _ : state) {
        acc.AddDatagram(reply.data(), reply.size(), rule, [&](const ByteString&) { ++delivered; });
    }
    benchmark::DoNotOptimize(delivered);
}
BENCHMARK(BM_CutLedReply);

// Counts LED reports and wakes the benchmark on each.
class CountingListener : public ILinkListener {
public:
    void OnConnected() override { Note(connected_); }
    void OnDisconnected() override {}
    void OnError(int) override {}
    void OnVersion(const std::string&) override {}
    void OnParameter(std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t) override {}
    void OnLeds(const ByteString&) override { Note(leds_); }
    void OnConfig(const ByteString&) override {}
    void OnFactoryPresetNumber(int) override {}
    void OnPresetLoaded(int) override {}
    void OnBypass(int) override {}
    void OnPreset(int, const ByteString&) override {}
    void OnPresetSent(int, const ByteString&) override {}
    void OnLog(const std::string&) override {}
    void OnTransferFailed(std::uint8_t) override {}

    void WaitFor(const std::uint64_t& counter, std::uint64_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return counter >= count; });
    }
    std::uint64_t connected_ = 0;
    std::uint64_t leds_ = 0;

private:
    void Note(std::uint64_t& counter) {
        std::lock_guard lock(mutex_);
        ++counter;
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
};

// One request and its reply through the engine and a real UDP socket on 127.0.0.1, answered
// by a bare peer on another thread.
void BM_UdpExchange(benchmark::State& state) {
    BareUdpPeer processor;
    processor.AnswerEvery(LedReply());

    CConnectionSettings settings;
    settings.SetLinkDefaults();
    settings.host = "127.0.0.1";
    settings.port = processor.Port();
    CountingListener listener;
    {
        CLinkEngine engine(&listener, settings);
        engine.Connect();
        listener.WaitFor(listener.connected_, 1);
        std::uint64_t done = 0;
        for (auto _ : state) {
            // The engine is idle again by the time the previous report is out: its thread
            // reports from the step that posts idle, and serves requests only after it.
            engine.ReadLeds();
            listener.WaitFor(listener.leds_, ++done);
        }
    }
}
BENCHMARK(BM_UdpExchange)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
