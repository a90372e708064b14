#include "link/CLinkEngine.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "link/CConnectionSettings.h"
#include "link/CEthernetChannel.h"
#include "link/CLinkChannel.h"
#include "link/CSerialChannel.h"
#include "link/ILinkListener.h"
#include "link/LinkPacket.h"

namespace {

std::unique_ptr<CLinkChannel> MakeChannel(IChannelSink* sink, const CConnectionSettings& settings) {
    if (settings.serial != 0) {
        return std::make_unique<CSerialChannel>(sink);
    }
    return std::make_unique<CEthernetChannel>(sink);
}

std::string HexLine(const char* prefix, const ByteString& bytes) {
    std::string line = prefix;
    char item[8];
    for (std::uint8_t b : bytes) {
        std::snprintf(item, sizeof item, " - %02X", b);
        line += item;
        if (line.size() > CLinkEngine::kMaxLogLength) {
            break;
        }
    }
    return line;
}

} // namespace

CLinkEngine::CLinkEngine(ILinkListener* listener, CConnectionSettings& settings)
    : settings_(settings), listener_(listener), factory_(MakeChannel) {
    thread_ = std::thread([this] { ThreadMain(); });
}

CLinkEngine::~CLinkEngine() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    {
        std::lock_guard signal(signalMutex_);
        stop_ = true;
        replyDue_.reset();
        pollDue_.reset();
    }
    wake_.notify_one();
    thread_.join();
    std::unique_ptr<CLinkChannel> channel;
    {
        std::lock_guard guard(lock_);
        channel = std::move(channel_);
    }
    // Destroyed without the lock: the channel waits for its thread, which may be calling in.
    channel.reset();
}

void CLinkEngine::SetChannelFactory(ChannelFactory factory) {
    std::lock_guard guard(lock_);
    factory_ = std::move(factory);
}

void CLinkEngine::Connect() {
    std::unique_ptr<CLinkChannel> old;
    {
        std::lock_guard guard(lock_);
        if (state_ != LinkState::Disconnected) {
            return;
        }
        old = std::move(channel_);
    }
    // A channel left from a failed attempt is closed without the lock held.
    old.reset();

    std::lock_guard guard(lock_);
    if (state_ != LinkState::Disconnected || channel_) {
        return;
    }
    CXModem::Reset();
    replyTimeoutMs_ = static_cast<int>(settings_.replyTimeoutMs);
    maxTries_ = static_cast<int>(settings_.maxTries);
    channel_ = factory_ ? factory_(this, settings_) : nullptr;
    if (channel_) {
        channel_->Open(settings_);
    }
}

bool CLinkEngine::IsConnected() const {
    std::lock_guard guard(lock_);
    return state_ != LinkState::Disconnected;
}

bool CLinkEngine::IsState(LinkState state) const {
    std::lock_guard guard(lock_);
    return state_ == state;
}

bool CLinkEngine::IsIdle() const {
    std::lock_guard guard(lock_);
    return state_ == LinkState::Idle && queue_.empty() && !IsActive();
}

int CLinkEngine::Tries() const {
    std::lock_guard guard(lock_);
    return tries_;
}

void CLinkEngine::SetPolling(bool on) {
    const std::uint32_t rate = on ? settings_.pollRate : 0;
    {
        std::lock_guard signal(signalMutex_);
        if (on && rate > 0 && !stop_) {
            pollPeriod_ = std::chrono::milliseconds(std::max<std::uint32_t>(1, 1000 / rate));
            pollDue_ = Clock::now() + pollPeriod_;
        } else if (!on) {
            pollDue_.reset();
        }
    }
    wake_.notify_one();
}

void CLinkEngine::Request(const ByteString& packet, bool queueWhenBusy) {
    if (IsConnected()) {
        SubmitPacket(packet, queueWhenBusy, false);
    }
}

void CLinkEngine::Disconnect() {
    SetPolling(false);
    Request(BuildDisconnect());
}

void CLinkEngine::WriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                 std::uint8_t value) {
    Request(BuildWriteParameter(a, b, c, value));
}

void CLinkEngine::SendPreset(std::uint8_t preset, const ByteString& data) {
    std::lock_guard guard(lock_);
    if (!IsConnected()) {
        return;
    }
    upload_ = data;
    sendPresetNumber_ = preset;
    SubmitPacket(BuildSendPreset(preset), true, false);
}

void CLinkEngine::SendUpgrade(const ByteString& data) {
    std::lock_guard guard(lock_);
    if (!IsConnected()) {
        return;
    }
    upload_ = data;
    SubmitPacket(BuildSendUpgrade(), true, false);
}

void CLinkEngine::LoadPreset(std::uint8_t preset) {
    Request(BuildLoadPreset(preset));
}
void CLinkEngine::SavePreset(std::uint8_t preset) {
    Request(BuildSavePreset(preset));
}
void CLinkEngine::Compare() {
    Request(BuildCompare());
}
void CLinkEngine::Revert() {
    Request(BuildRevert());
}

void CLinkEngine::RenamePreset(std::uint8_t preset, const std::string& name) {
    Request(BuildRenamePreset(preset, name));
}

void CLinkEngine::MetersFlip() {
    Request(BuildMetersFlip());
}
void CLinkEngine::BypassUpdate(std::uint8_t bypass) {
    Request(BuildBypassUpdate(bypass));
}
void CLinkEngine::ReadVersion() {
    Request(BuildReadVersion());
}

void CLinkEngine::ReadParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    Request(BuildReadParameter(a, b, c));
}

// Polls are dropped rather than queued, so the queue never fills with them.
void CLinkEngine::ReadLeds() {
    Request(BuildReadLeds(), false);
}
void CLinkEngine::GetConfig(int lockCode) {
    Request(BuildGetConfig(lockCode));
}
void CLinkEngine::GetFactoryPresetNumber() {
    Request(BuildGetFactoryPresetNumber());
}

void CLinkEngine::GetPreset(std::uint8_t preset) {
    std::lock_guard guard(lock_);
    if (!IsConnected()) {
        return;
    }
    getPresetNumber_ = preset;
    SubmitPacket(BuildGetPreset(preset), true, false);
}

void CLinkEngine::SubmitPacket(const ByteString& packet, bool queueWhenBusy, bool raw) {
    std::lock_guard guard(lock_);
    if (state_ == LinkState::Disconnected) {
        return;
    }
    if (state_ == LinkState::Idle && raw == IsActive()) {
        lastPacket_ = packet;
        Post(LinkState::Send, packet);
    } else if (queueWhenBusy) {
        queue_.push_back(packet);
    } else {
        Log("Skipping Packet");
    }
}

void CLinkEngine::RequestDisconnect() {
    Post(LinkState::Disconnect);
}

void CLinkEngine::Post(LinkState state, ByteString payload) {
    std::lock_guard guard(lock_);
    state_ = state;
    payload_ = std::move(payload);
    if (stopping_) {
        return;
    }
    {
        std::lock_guard signal(signalMutex_);
        mailbox_ = true;
    }
    wake_.notify_one();
}

void CLinkEngine::ArmReplyTimer() {
    std::lock_guard signal(signalMutex_);
    replyDue_ = Clock::now() + std::chrono::milliseconds(replyTimeoutMs_);
}

void CLinkEngine::CancelReplyTimer() {
    std::lock_guard signal(signalMutex_);
    replyDue_.reset();
}

void CLinkEngine::ThreadMain() {
    std::unique_lock signal(signalMutex_);
    for (;;) {
        auto due = [](const std::optional<Clock::time_point>& t, Clock::time_point now) {
            return t && *t <= now;
        };
        Clock::time_point now = Clock::now();
        while (!mailbox_ && !stop_ && !due(replyDue_, now) && !due(pollDue_, now)) {
            std::optional<Clock::time_point> next = replyDue_;
            if (pollDue_ && (!next || *pollDue_ < *next)) {
                next = pollDue_;
            }
            if (next) {
                wake_.wait_until(signal, *next);
            } else {
                wake_.wait(signal);
            }
            wakeups_.fetch_add(1);
            now = Clock::now();
        }
        if (mailbox_) {
            signal.unlock();
            ServeMailbox();
            signal.lock();
        } else if (due(replyDue_, now)) {
            replyDue_.reset();
            signal.unlock();
            {
                // A reply or a disconnect posted since the expiry must not be replaced by it.
                std::lock_guard guard(lock_);
                if (state_ == LinkState::WaitReply) {
                    Post(LinkState::ReplyTimeout, lastPacket_);
                }
            }
            signal.lock();
        } else if (due(pollDue_, now)) {
            // A periodic timer: late expiries fold into one.
            while (*pollDue_ <= now) {
                *pollDue_ += pollPeriod_;
            }
            signal.unlock();
            ReadLeds();
            signal.lock();
        } else if (stop_) {
            return;
        }
    }
}

void CLinkEngine::ServeMailbox() {
    LinkState state;
    ByteString payload;
    {
        std::lock_guard guard(lock_);
        state = state_;
        payload = payload_;
        std::lock_guard signal(signalMutex_);
        mailbox_ = false;
    }
    switch (state) {
    case LinkState::Disconnected:
        if (listener_ != nullptr) {
            listener_->OnDisconnected();
        }
        break;
    case LinkState::Connected: {
        {
            std::lock_guard guard(lock_);
            lastPacket_.clear();
            tries_ = 0;
            Post(LinkState::Idle);
        }
        if (listener_ != nullptr) {
            listener_->OnConnected();
        }
        break;
    }
    case LinkState::Idle: {
        std::lock_guard guard(lock_);
        lastPacket_.clear();
        if (!queue_.empty()) {
            Log("Uncaching Packet");
            ByteString next = std::move(queue_.front());
            queue_.pop_front();
            SubmitPacket(next, true, IsActive());
        }
        break;
    }
    case LinkState::Send: {
        std::lock_guard guard(lock_);
        const std::string text = PacketLogText(payload);
        if (!text.empty()) {
            Log(text);
        }
        if (channel_) {
            channel_->Send(payload);
        }
        Post(LinkState::WaitReply, payload);
        break;
    }
    case LinkState::WaitReply: {
        std::lock_guard guard(lock_);
        if (IsFinishing()) {
            // The last packet of a transfer is answered by nothing.
            End();
            Post(LinkState::Idle);
        } else {
            lastPacket_ = payload;
            ArmReplyTimer();
        }
        break;
    }
    case LinkState::Reply: {
        CancelReplyTimer();
        std::lock_guard guard(lock_);
        if (ProcessReply(payload)) {
            if (state_ != LinkState::Disconnect) {
                tries_ = 0;
                Post(LinkState::Idle);
            }
        } else {
            Post(LinkState::Repeat, lastPacket_);
        }
        break;
    }
    case LinkState::Repeat:
        ServeRepeat(payload);
        break;
    case LinkState::Disconnect:
        ServeDisconnect();
        break;
    case LinkState::ReplyTimeout: {
        std::lock_guard guard(lock_);
        Post(LinkState::Repeat, payload);
        break;
    }
    }
}

void CLinkEngine::ServeRepeat(const ByteString& payload) {
    std::lock_guard guard(lock_);
    ++tries_;
    LogF("Try: %d", tries_);
    if (tries_ >= maxTries_) {
        Log("Too many tries. Disconnecting.");
        RequestDisconnect();
    } else if (!payload.empty()) {
        Log(HexLine("Command retry send", payload));
        Post(LinkState::Idle);
        SubmitPacket(payload, true, false);
    } else {
        // Nothing to repeat: back to idle rather than stay in this state for good.
        Post(LinkState::Idle);
    }
}

void CLinkEngine::ServeDisconnect() {
    CancelReplyTimer();
    std::unique_ptr<CLinkChannel> channel;
    {
        std::lock_guard guard(lock_);
        queue_.clear();
        SetPolling(false);
        channel = std::move(channel_);
    }
    // Closing waits for the channel's thread, which may be waiting for this lock.
    if (channel) {
        channel->Close();
        channel.reset();
    }
    std::lock_guard guard(lock_);
    // Requests made while the channel closed must not go out on the next connection.
    queue_.clear();
    Post(LinkState::Disconnected);
}

bool CLinkEngine::ProcessReply(const ByteString& reply) {
    std::lock_guard guard(lock_);
    if (IsActive()) {
        return OnData(reply);
    }
    // Only a whole acknowledgement of the length its echo calls for is acted on; anything
    // shorter (an empty datagram flushes a partial one) would be read past its end.
    if (reply.size() < 2 || reply[0] != kAck || !ChecksumOk(reply) ||
        ::ExpectedReplyLength(reply) != static_cast<int>(reply.size())) {
        return false;
    }
    ReportReply(reply);
    return true;
}

void CLinkEngine::ReportReply(const ByteString& r) {
    switch (r[1]) {
    case Command::Disconnect:
        RequestDisconnect();
        break;
    case Command::SendPreset:
    case Command::SendUpgrade:
        kind_ = static_cast<TransferKind>(r[1]);
        StartSend(upload_);
        break;
    case Command::GetConfig:
    case Command::GetPreset:
        kind_ = static_cast<TransferKind>(r[1]);
        StartReceive();
        break;
    default:
        break;
    }
    if (listener_ == nullptr) {
        return;
    }
    switch (r[1]) {
    case Command::LoadPreset:
        listener_->OnPresetLoaded(r[2]);
        break;
    case Command::BypassUpdate:
        listener_->OnBypass(r[2]);
        break;
    case Command::ReadVersion:
        listener_->OnVersion(std::string(r.begin() + 2, r.begin() + 5));
        break;
    case Command::ReadParameter:
        listener_->OnParameter(r[2], r[3], r[4], r[5]);
        break;
    case Command::ReadLeds:
        listener_->OnLeds(r);
        break;
    case Command::GetFactoryPresetNumber:
        listener_->OnFactoryPresetNumber(r[2]);
        break;
    default:
        break;
    }
}

void CLinkEngine::OnConnected() {
    Post(LinkState::Connected);
}

void CLinkEngine::OnDisconnected() {
    std::lock_guard guard(lock_);
    if (channel_) {
        Post(LinkState::Disconnected);
    }
}

void CLinkEngine::OnError(int code) {
    std::lock_guard guard(lock_);
    if (!channel_) {
        return;
    }
    if (listener_ != nullptr) {
        listener_->OnError(code);
    }
    if (state_ != LinkState::Disconnected) {
        RequestDisconnect();
    }
}

void CLinkEngine::OnReceived(const ByteString& bytes) {
    Log(HexLine("Recieved ", bytes));
    std::lock_guard guard(lock_);
    // Only a reply to a packet that went out is taken. Bytes that arrive while a packet waits
    // to go out or a disconnect is pending would otherwise replace that step and lose it.
    if (state_ == LinkState::WaitReply || state_ == LinkState::Reply ||
        state_ == LinkState::ReplyTimeout) {
        Post(LinkState::Reply, bytes);
    }
}

int CLinkEngine::ExpectedReplyLength(const ByteString& bytes) {
    std::lock_guard guard(lock_);
    return IsActive() ? CXModem::ExpectedLength(bytes) : ::ExpectedReplyLength(bytes);
}

void CLinkEngine::SendRaw(const ByteString& bytes) {
    SubmitPacket(bytes, true, true);
}

void CLinkEngine::OnTransferComplete() {
    if (listener_ == nullptr) {
        return;
    }
    if (WasCancelled()) {
        listener_->OnTransferFailed(static_cast<std::uint8_t>(kind_));
        return;
    }
    switch (kind_) {
    case TransferKind::GetConfig:
        listener_->OnConfig(Data());
        break;
    case TransferKind::GetPreset:
        listener_->OnPreset(getPresetNumber_, Data());
        break;
    case TransferKind::SendPreset:
        listener_->OnPresetSent(sendPresetNumber_, Data());
        break;
    default:
        break;
    }
}

void CLinkEngine::LogError(const std::string& text) {
    Log("XModem error: " + text);
}

void CLinkEngine::Log(const std::string& text) {
    if (listener_ == nullptr) {
        return;
    }
    if (text.size() > kMaxLogLength) {
        listener_->OnLog(text.substr(0, kMaxLogLength));
    } else {
        listener_->OnLog(text);
    }
}

void CLinkEngine::LogF(const char* format, ...) {
    char line[kMaxLogLength + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Log(line);
}
