#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <prometheus/histogram.h>

#include "exporter/ProcessorStatus.h"
#include "station/ProcessorTarget.h"
#include "link/CConnectionSettings.h"
#include "link/ILinkListener.h"

class CIoThread;
class CLinkEngine;

// Watches one processor through a link engine of its own: Read version on connect, the preset
// count and names, then the LED state every interval. It keeps one request outstanding at a
// time, so its own requests never collide on the link. A processor that stops answering is
// marked down and reconnected after a pause that grows from 1 s to 30 s, with jitter.
//
// The processor's texts (version, preset names) are Latin-1; they are kept as UTF-8 from the
// moment they arrive, so every label and page shows them as they are.
//
// Everything but the listener calls runs on the exporter's io_context thread; the listener
// calls arrive on the link's threads and are posted there.
class CProcessorSession : public ILinkListener {
public:
    using Clock = std::chrono::steady_clock;

    struct Timing {
        std::chrono::milliseconds interval{1000};
        int replyTimeoutMs = 500;
        std::chrono::milliseconds firstPause{1000};
        std::chrono::milliseconds longestPause{30000};
        std::chrono::milliseconds namesRefresh{std::chrono::minutes(10)};
    };

    // linkThread: a thread shared by the fleet's links; none gives the link a thread of its own.
    CProcessorSession(asio::io_context& io, ProcessorTarget target, const Timing& timing,
                      CIoThread* linkThread = nullptr);
    ~CProcessorSession() override;
    CProcessorSession(const CProcessorSession&) = delete;
    CProcessorSession& operator=(const CProcessorSession&) = delete;

    void Start();
    // Disconnects; done() runs once the link is closed (at once when it was not open).
    void Stop(std::function<void()> done);

    [[nodiscard]] ProcessorStatus Status() const;
    [[nodiscard]] const std::string& Name() const { return m_target.name; }
    [[nodiscard]] const ProcessorTarget& Target() const { return m_target; }
    [[nodiscard]] bool Up() const { return m_up; }
    // The last LED state, while up.
    [[nodiscard]] const std::optional<CLedState>& Leds() const { return m_leds; }
    [[nodiscard]] const std::vector<std::string>& PresetNames() const { return m_presetNames; }

    // A read for another reader that shares this link (the settings history): queued behind
    // the session's own requests and sent between its LED polls, one request at a time, so
    // the processor still hears one remote. Only reads can be asked for.
    struct Read {
        enum class Kind { Version, Config, PresetCount, Preset, Parameter, Leds };
        Kind kind = Kind::Version;
        std::uint8_t a = 0; // Parameter: the address; Preset: a is the number
        std::uint8_t b = 0;
        std::uint8_t c = 0;
        int lockCode = 0; // Config
    };
    struct ReadResult {
        enum class Outcome { Ok, NoResponse, Refused, Cancelled };
        Outcome outcome = Outcome::NoResponse;
        std::string text;       // Version: the raw characters
        ByteString data;        // Config, Preset, Leds
        int number = 0;         // PresetCount
        std::uint8_t value = 0; // Parameter
    };
    using ReadDone = std::function<void(const ReadResult&)>;
    // On the io_context thread; done runs there exactly once, also when the link drops or the
    // session stops.
    void Submit(const Read& read, ReadDone done);

    // Whether two LED states in a row show preset work that may have renamed presets.
    [[nodiscard]] static bool PresetsWereEdited(const CLedState& before, const CLedState& now);

    // A reconnection pause with its jitter: between half of pause and pause, so a fleet that
    // lost its network together does not come back in the same instant.
    [[nodiscard]] static std::chrono::milliseconds Jittered(std::chrono::milliseconds pause,
                                                            std::uint32_t random);

    // The round-trip histogram's bucket bounds, seconds.
    [[nodiscard]] static const std::vector<double>& RoundTripBuckets();

    // ILinkListener: posted to the io_context thread.
    void OnConnected() override;
    void OnDisconnected() override;
    void OnError(int code) override;
    void OnVersion(const std::string& text) override;
    void OnParameter(std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t value) override;
    void OnLeds(const ByteString& reply) override;
    void OnConfig(const ByteString& data) override;
    void OnFactoryPresetNumber(int n) override;
    void OnPresetLoaded(int) override {}
    void OnBypass(int) override {}
    void OnPreset(int n, const ByteString& data) override;
    void OnPresetSent(int, const ByteString&) override {}
    void OnLog(const std::string& line) override;
    void OnTransferFailed(std::uint8_t command) override;

private:
    enum class Request { None, Version, PresetCount, Preset, Leds, Borrowed };
    struct Borrowed {
        Read read;
        ReadDone done;
        bool acknowledged = false; // Config: the processor took the lock code
    };
    struct Job {
        Job(Request r, int p = 0, std::shared_ptr<Borrowed> b = nullptr)
            : request(r), preset(p), borrowed(std::move(b)) {}
        Request request;
        int preset = 0;
        std::shared_ptr<Borrowed> borrowed;
    };

    template <typename F> void Post(F&& handler);

    void HandleConnected();
    void HandleDown(const std::string& cause);
    void HandleError(int code);
    void HandleVersion(const std::string& text, Clock::time_point at);
    void HandleLeds(const ByteString& reply, Clock::time_point at);
    void HandlePresetCount(int count, Clock::time_point at);
    void HandlePreset(int number, const ByteString& data, Clock::time_point at);
    void HandleTransferFailed();
    void HandleLog(const std::string& line, Clock::time_point at);
    void HandleParameter(std::uint8_t value, Clock::time_point at);
    void HandleConfig(const ByteString& data, Clock::time_point at);
    // Ends the borrowed request outstanding: true when there was one.
    bool FinishBorrowed(ReadResult result);
    void FailBorrowed(const std::shared_ptr<Borrowed>& borrowed, ReadResult::Outcome outcome);
    // Drops the queued work; borrowed reads among it end as unanswered.
    void ClearJobs();

    void Connect();
    void ScheduleReconnect();
    void ArmPoll();
    // Sends the next request when none is outstanding: a due LED poll first, then queued work.
    void Pump();
    void Send(const Job& job);
    void Done(Clock::time_point at);
    void QueueNames();
    [[nodiscard]] bool ListMayHaveChanged(const CLedState& leds) const;
    [[nodiscard]] std::chrono::milliseconds Watchdog() const;

    asio::io_context& m_io;
    ProcessorTarget m_target;
    Timing m_timing;
    CConnectionSettings m_settings;

    asio::steady_timer m_pollTimer;
    asio::steady_timer m_reconnectTimer;
    asio::steady_timer m_watchdogTimer;
    asio::steady_timer m_idleTimer;

    bool m_started = false;
    bool m_stopping = false;
    bool m_linkOpen = false;
    bool m_reconnectPending = false;
    bool m_up = false;
    std::string m_cause = "connecting";
    std::function<void()> m_stopped;
    std::chrono::milliseconds m_pause;
    int m_attempts = 0;

    Request m_outstanding = Request::None;
    std::deque<Job> m_jobs;
    std::shared_ptr<Borrowed> m_borrowed; // the borrowed read outstanding
    bool m_pollDue = false;
    std::optional<Clock::time_point> m_lastSend;
    std::optional<Clock::time_point> m_lastReply;
    Clock::time_point m_namesDue;
    std::optional<std::tuple<int, int, int, int>> m_lastListTrigger;

    std::string m_version;
    std::optional<CLedState> m_leds;
    int m_presetCount = -1;
    std::vector<std::string> m_presetNames;
    std::uint64_t m_requests = 0;
    std::uint64_t m_retries = 0;
    std::uint64_t m_failures = 0;
    std::uint64_t m_reconnects = 0;
    prometheus::Histogram m_roundTrip; // from a request's first send to its reply
    std::minstd_rand m_random;

    std::unique_ptr<CLinkEngine> m_engine; // last: its threads call back into the above
};
