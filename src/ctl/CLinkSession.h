#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/ByteString.h"
#include "link/ILinkListener.h"

class CConnectionSettings;
class CLinkEngine;

// A blocking conversation with the processor over the link engine: each call submits one
// request and waits until the engine reports its result, gives up (the link drops after its
// tries) or goes quiet. One request at a time, as the link itself works.
class CLinkSession : public ILinkListener {
public:
    enum class Status {
        Ok,
        NoResponse, // the link could not open, gave up or dropped
        Refused,    // the processor refused the request on every try, or Get Config went
                    // unacknowledged (the answer a wrong lock code gets)
        Cancelled,  // an XModem transfer was cancelled: its data is incomplete
    };
    using LineSink = std::function<void(const std::string&)>;
    // Told when a request went unanswered and the link tries it again: try is the number of
    // the try about to go out, of tries in all.
    using RetrySink = std::function<void(int attempt, int tries)>;

    // logSink, when set, receives every line of the link log as it is written.
    CLinkSession(CConnectionSettings& settings, LineSink logSink);
    ~CLinkSession() override;

    Status Connect();
    Status Disconnect();

    Status ReadVersion(std::string& version);
    Status ReadParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t& value);
    Status WriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t value);
    // stored: the value the processor says it stored, from its acknowledgement.
    Status WriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t value,
                          std::uint8_t& stored);
    Status ReadLeds(ByteString& reply);
    Status GetConfig(int lockCode, ByteString& description);
    Status GetFactoryPresetNumber(int& count);
    Status GetPreset(std::uint8_t preset, ByteString& data);
    Status SendPreset(std::uint8_t preset, const ByteString& data);
    Status LoadPreset(std::uint8_t preset, int& loaded);
    Status SavePreset(std::uint8_t preset);
    Status RenamePreset(std::uint8_t preset, const std::string& name);
    Status Compare();
    Status Revert();
    Status MetersFlip();
    Status BypassUpdate(std::uint8_t bypass, int& state);
    // progress(blocks acknowledged) is called as the transfer goes on.
    Status SendUpgrade(const ByteString& image, const std::function<void(int)>& progress);
    // Polls the LED state at the link's rate; onLeds returns false to stop. onQuiet is called
    // once whenever no state came for a reply time-out (the processor does not answer). stop
    // is checked between states (set it from a signal handler).
    Status Watch(const std::function<bool(const ByteString&)>& onLeds,
                 const std::function<void()>& onQuiet, const volatile bool& stop);

    void SetRetrySink(RetrySink sink);

    // The last error code the link reported, 0 when none.
    [[nodiscard]] int LastErrorCode() const;

    // ILinkListener
    void OnConnected() override;
    void OnDisconnected() override;
    void OnError(int code) override;
    void OnVersion(const std::string& text) override;
    void OnParameter(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4) override;
    void OnLeds(const ByteString& reply) override;
    void OnConfig(const ByteString& data) override;
    void OnFactoryPresetNumber(int n) override;
    void OnPresetLoaded(int n) override;
    void OnBypass(int n) override;
    void OnPreset(int n, const ByteString& data) override;
    void OnPresetSent(int n, const ByteString& data) override;
    void OnLog(const std::string& line) override;
    void OnTransferFailed(std::uint8_t command) override;

private:
    enum class Kind {
        Connected,
        Disconnected,
        Error,
        Version,
        Parameter,
        Leds,
        Config,
        FactoryPresetNumber,
        PresetLoaded,
        Bypass,
        Preset,
        PresetSent,
        Log
    };
    struct Event {
        Event(Kind k = Kind::Log, int n = 0, ByteString d = {}, std::string t = {})
            : kind(k), number(n), data(std::move(d)), text(std::move(t)) {}
        Kind kind;
        int number;
        ByteString data;
        std::string text;
    };
    using Clock = std::chrono::steady_clock;

    void Push(Event event);
    // Waits for the first event of the kind; ends early when the link drops or stays silent
    // longer than it could possibly retry.
    Status Await(Kind kind, Event& out);
    // Waits until the engine has finished the exchange (for requests the engine reports
    // nothing about) and any transfer it started.
    Status AwaitIdle();
    [[nodiscard]] Clock::duration QuietLimit() const;
    void Forget();
    // Reads what the link's log says about the current request (called under m_mutex).
    void Observe(const std::string& line);
    // Why the current request failed: refused or no response (called under m_mutex).
    [[nodiscard]] Status FailureLocked() const;
    // The transfer's result, or Cancelled when the link reported it ended before its end.
    Status TransferResult(Status status) const;

    CConnectionSettings& m_settings;
    LineSink m_logSink;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Event> m_events;
    bool m_connected = false;
    int m_errorCode = 0;
    bool m_transferBroken = false;
    // What the log told of the current request: the last reply and its bytes, whether the
    // processor acknowledged it, and whether the last try before a repeat was refused.
    enum class Answer { None, Refusal, Other };
    Answer m_lastAnswer = Answer::None;
    bool m_lastTryRefused = false;
    bool m_acknowledged = false;
    ByteString m_lastReceived;
    RetrySink m_retrySink; // called under m_mutex
    Clock::time_point m_lastActivity;
    std::function<void(const std::string&)> m_logWatcher; // called under m_mutex
    std::unique_ptr<CLinkEngine> m_engine;                // last: built after the rest
};
