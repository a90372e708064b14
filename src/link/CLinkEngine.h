#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "link/ByteString.h"
#include "link/CXModem.h"
#include "link/IChannelSink.h"

class CConnectionSettings;
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
// listener. A communication thread lives as long as the engine; it serves mailbox, reply
// timer, poll timer and stop in that order and sleeps while nothing is due.
class CLinkEngine : public CXModem, public IChannelSink {
public:
    using ChannelFactory = std::function<std::unique_ptr<CLinkChannel>(
        IChannelSink* sink, const CConnectionSettings& settings)>;

    CLinkEngine(ILinkListener* listener, CConnectionSettings& settings);
    ~CLinkEngine() override;

    // Replaces how Connect makes its channel (serial or UDP from the settings by default).
    void SetChannelFactory(ChannelFactory factory);

    void Connect();
    [[nodiscard]] bool IsConnected() const;
    [[nodiscard]] bool IsState(LinkState state) const;
    // Idle with nothing queued and no transfer running: every request made so far is done.
    [[nodiscard]] bool IsIdle() const;
    void SetPolling(bool on);

    void Disconnect();
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

    // Acts on one delivered reply; false means the last request is to be repeated.
    bool ProcessReply(const ByteString& reply);

    // IChannelSink
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
    [[nodiscard]] std::uint64_t WakeupCount() const { return wakeups_.load(); }
    [[nodiscard]] int Tries() const;

protected:
    void SendRaw(const ByteString& bytes) override;
    void OnTransferComplete() override;
    void LogError(const std::string& text) override;

private:
    using Clock = std::chrono::steady_clock;

    void SubmitPacket(const ByteString& packet, bool queueWhenBusy, bool raw);
    void Request(const ByteString& packet, bool queueWhenBusy = true);
    void RequestDisconnect();
    void Post(LinkState state, ByteString payload = {});
    void ArmReplyTimer();
    void CancelReplyTimer();
    void ThreadMain();
    void ServeMailbox();
    void ServeRepeat(const ByteString& payload);
    void ServeDisconnect();
    void ReportReply(const ByteString& reply);

    CConnectionSettings& settings_;
    std::unique_ptr<CLinkChannel> channel_;
    ILinkListener* listener_;
    ChannelFactory factory_;
    int tries_ = 0;
    std::deque<ByteString> queue_;
    ByteString lastPacket_;
    ByteString upload_;
    LinkState state_ = LinkState::Disconnected;
    ByteString payload_;
    TransferKind kind_ = TransferKind::None;
    std::uint8_t getPresetNumber_ = 0;
    std::uint8_t sendPresetNumber_ = 0;
    // Taken from the settings on every connect.
    int replyTimeoutMs_ = 0;
    int maxTries_ = 0;
    bool stopping_ = false;
    mutable std::recursive_mutex lock_;

    // Thread signals. Taken after lock_ when both are needed, never the other way round.
    std::mutex signalMutex_;
    std::condition_variable wake_;
    bool mailbox_ = false;
    bool stop_ = false;
    std::optional<Clock::time_point> replyDue_;
    std::optional<Clock::time_point> pollDue_;
    Clock::duration pollPeriod_{};
    std::atomic<std::uint64_t> wakeups_{0};
    std::thread thread_;
};
