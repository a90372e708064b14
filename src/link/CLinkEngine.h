#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <asio/steady_timer.hpp>

#include "link/ByteString.h"
#include "link/CConnectionSettings.h"
#include "link/CIoThread.h"
#include "link/CXModem.h"
#include "link/IChannelSink.h"

class CLinkChannel;
class ILinkListener;

// States of the engine; the current one is also the mailbox code of its thread.
enum class LinkState : std::int32_t {
    Disconnected = 0,
    Connected = 1,
    Idle = 2,
    Send = 3,
    WaitReply = 4,
    Reply = 5,
    Repeat = 6,
    Disconnect = 7,
    ReplyTimeout = 8,
};

// The command whose XModem transfer runs or ran last.
enum class TransferKind : std::uint8_t {
    None = 0x00,
    SendPreset = 0x02,
    SendUpgrade = 0x03,
    GetConfig = 0x83,
    GetPreset = 0x85,
};

// The one object that talks to the processor: one request at a time, repeated when the reply
// is refused, garbled or late, given up after the settings' number of tries; requests made
// while busy wait in a queue; the LED state is polled while polling is on. Results go to the
// listener.
//
// One thread (its own, or one shared with other engines on the same terms) owns all of its
// state and its channel: it serves the mailbox (one state and its payload; a post replaces
// what was posted before), the reply timer and the poll timer, and drives the channel's port
// or socket on the same io_context.
// Every public operation only hands its work to that thread, so no step can see the state
// change behind its back; queries read a copy the thread publishes after each step.
class CLinkEngine : public CXModem, public IChannelSink {
public:
    using ChannelFactory = std::function<std::unique_ptr<CLinkChannel>(
        IChannelSink* sink, const CConnectionSettings& settings)>;

    CLinkEngine(ILinkListener* listener, CConnectionSettings& settings);
    // On a thread shared with other engines (a fleet of processors costs one thread, not one
    // each); the thread must outlive the engine.
    CLinkEngine(ILinkListener* listener, CConnectionSettings& settings, CIoThread& thread);
    // Closes the channel without a report and ends the thread; does not wait for replies.
    ~CLinkEngine() override;

    // Replaces how Connect makes its channel (serial or UDP from the settings by default).
    void SetChannelFactory(ChannelFactory factory);

    // Starts a connection with a copy of the settings as they are now; the outcome reaches
    // the listener (OnConnected, or OnError). Never waits for the channel or a name lookup.
    void Connect();
    [[nodiscard]] bool IsConnected() const;
    [[nodiscard]] bool IsState(LinkState state) const;
    // Idle with nothing queued, no transfer running and no call still on its way to the
    // thread: every request made so far is done.
    [[nodiscard]] bool IsIdle() const;
    void SetPolling(bool on);

    void Disconnect();
    // Drops the link at once, without telling the processor: for a processor that does not
    // answer (a Disconnect would wait behind the unanswered request until the tries run out).
    void Abort();
    void WriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t value);
    void SendPreset(std::uint8_t preset, const ByteString& data);
    void SendUpgrade(const ByteString& data);
    void LoadPreset(std::uint8_t preset);
    void SavePreset(std::uint8_t preset);
    void Compare();
    void Revert();
    void RenamePreset(std::uint8_t preset, const std::string& name);
    void MetersFlip();
    void BypassUpdate(std::uint8_t bypass);
    void ReadVersion();
    void ReadParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c);
    void ReadLeds();
    void GetConfig(int lockCode);
    void GetFactoryPresetNumber();
    void GetPreset(std::uint8_t preset);

    // Acts on one delivered reply; false means the last request is to be repeated. Runs on
    // the engine's thread (a call from another thread waits for it there).
    bool ProcessReply(const ByteString& reply);

    // IChannelSink. The engine's own channels call these on its thread; a call from another
    // thread is handed over to it.
    void OnConnected() override;
    void OnDisconnected() override;
    void OnError(int code) override;
    void OnReceived(const ByteString& bytes) override;
    int ExpectedReplyLength(const ByteString& bytes) override;

    // One log line, cut at kMaxLogLength characters, to the listener.
    void Log(const std::string& text) override;
    void LogF(const char* format, ...) __attribute__((format(printf, 2, 3)));

    static constexpr std::size_t kMaxLogLength = 4096;

    // For tests: how often the thread returned from waiting, and the current try count.
    [[nodiscard]] std::uint64_t WakeupCount() const { return io_.WakeupCount(); }
    [[nodiscard]] int Tries() const { return triesView_.load(); }

protected:
    void SendRaw(const ByteString& bytes) override;
    void OnTransferComplete() override;
    void LogError(const std::string& text) override;

private:
    // Hands fn to the thread; it counts as on its way until it has run.
    void Call(std::function<void()> fn);
    // Publishes the state that the queries read; after every step of the thread.
    void Publish();
    void ConnectHere(const CConnectionSettings& settings);
    void SetPollingHere(bool on, std::uint32_t rate);
    void ArmPollTimer();
    void Request(ByteString packet, bool queueWhenBusy = true);
    void SubmitPacket(const ByteString& packet, bool queueWhenBusy, bool raw);
    void SendNextQueued();
    void SendNow(const ByteString& packet);
    void RequestDisconnect();
    void Post(LinkState state, ByteString payload = {});
    void ArmReplyTimer();
    void CancelReplyTimer();
    void ServeMailbox();
    void ServeSend(const ByteString& payload);
    void ServeWaitReply(const ByteString& payload);
    void ServeReply(const ByteString& payload);
    void ServeRepeat(const ByteString& payload);
    void ServeDisconnect();
    bool ProcessReplyHere(const ByteString& reply);
    void ReportReply(const ByteString& reply);

    CLinkEngine(ILinkListener* listener, CConnectionSettings& settings,
                std::unique_ptr<CIoThread> own, CIoThread* shared);

    CConnectionSettings& settings_;
    ILinkListener* listener_;
    // Declared before everything that lives on it, so it is destroyed after them.
    std::unique_ptr<CIoThread> ownThread_; // none on a shared thread
    CIoThread& io_;
    // Expires when the engine goes: handlers of a shared thread test it before touching it.
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    // Used on the engine's thread only.
    std::unique_ptr<CLinkChannel> channel_;
    ChannelFactory factory_;
    CConnectionSettings connection_; // the copy the current connection was made with
    int tries_ = 0;
    // A waiting packet and whether it belongs to a transfer (an XModem block or control byte).
    struct QueuedPacket {
        ByteString packet;
        bool raw = false;
    };
    std::deque<QueuedPacket> queue_;
    ByteString lastPacket_;
    ByteString upload_;
    LinkState state_ = LinkState::Disconnected;
    ByteString payload_;
    bool mailboxDue_ = false;
    TransferKind kind_ = TransferKind::None;
    std::uint8_t getPresetNumber_ = 0;
    std::uint8_t sendPresetNumber_ = 0;
    int replyTimeoutMs_ = 0;
    int maxTries_ = 0;
    bool stopping_ = false;
    asio::steady_timer replyTimer_;
    std::uint64_t replyArming_ = 0; // an expiry of an earlier arming is stale
    asio::steady_timer pollTimer_;
    std::uint64_t pollArming_ = 0;
    std::chrono::steady_clock::duration pollPeriod_{};
    std::chrono::steady_clock::time_point pollDue_{};

    // What the queries read, written by the engine's thread.
    std::atomic<LinkState> stateView_{LinkState::Disconnected};
    std::atomic<bool> idleView_{false};
    std::atomic<bool> activeView_{false};
    std::atomic<int> triesView_{0};
    std::atomic<int> callsOnTheirWay_{0};
};
