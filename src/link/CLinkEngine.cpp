#include "link/CLinkEngine.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include <asio/post.hpp>

#include "link/CConnectionSettings.h"
#include "link/CEthernetChannel.h"
#include "link/CLinkChannel.h"
#include "link/CSerialChannel.h"
#include "link/ILinkListener.h"
#include "link/LinkPacket.h"

namespace {

std::unique_ptr<CLinkChannel> MakeChannel(IChannelSink* sink, CIoThread& io,
                                          const CConnectionSettings& settings) {
    if (settings.serial != 0) {
        return std::make_unique<CSerialChannel>(sink, io);
    }
    return std::make_unique<CEthernetChannel>(sink, io);
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
    : CLinkEngine(listener, settings, std::make_unique<CIoThread>(), nullptr) {}

CLinkEngine::CLinkEngine(ILinkListener* listener, CConnectionSettings& settings, CIoThread& thread)
    : CLinkEngine(listener, settings, nullptr, &thread) {}

CLinkEngine::CLinkEngine(ILinkListener* listener, CConnectionSettings& settings,
                         std::unique_ptr<CIoThread> own, CIoThread* shared)
    : settings_(settings), listener_(listener), ownThread_(std::move(own)),
      io_(shared ? *shared : *ownThread_), replyTimer_(io_.Context()), pollTimer_(io_.Context()) {
    factory_ = [this](IChannelSink* sink, const CConnectionSettings& s) {
        return MakeChannel(sink, io_, s);
    };
}

CLinkEngine::~CLinkEngine() {
    io_.Run([this] {
        stopping_ = true;
        CancelReplyTimer();
        ++pollArming_;
        pollTimer_.cancel();
        // Destroyed on the thread that drives it, without a report.
        channel_.reset();
        // Handlers still queued on a shared thread find the engine gone and do nothing.
        alive_.reset();
    });
    if (ownThread_) {
        ownThread_->Stop();
    }
}

void CLinkEngine::Call(std::function<void()> fn) {
    callsOnTheirWay_.fetch_add(1);
    asio::post(io_.Context(), [this, fn = std::move(fn), alive = std::weak_ptr<char>(alive_)] {
        if (alive.expired()) {
            return;
        }
        fn();
        Publish();
        // Last: a query that sees no call on its way sees what this one did.
        callsOnTheirWay_.fetch_sub(1);
    });
}

void CLinkEngine::Publish() {
    const bool active = IsActive();
    activeView_.store(active);
    triesView_.store(tries_);
    idleView_.store(state_ == LinkState::Idle && queue_.empty() && !active);
    // Last: a query that sees the new state sees the counts that go with it.
    stateView_.store(state_);
}

void CLinkEngine::SetChannelFactory(ChannelFactory factory) {
    io_.Run([&] { factory_ = std::move(factory); });
}

void CLinkEngine::Connect() {
    // Copied here: the caller may edit its record while the connection is being made.
    Call([this, settings = settings_] { ConnectHere(settings); });
}

void CLinkEngine::ConnectHere(const CConnectionSettings& settings) {
    if (state_ != LinkState::Disconnected) {
        return;
    }
    // A channel left from a failed attempt goes first.
    channel_.reset();
    CXModem::Reset();
    connection_ = settings;
    replyTimeoutMs_ = static_cast<int>(connection_.replyTimeoutMs);
    maxTries_ = static_cast<int>(connection_.maxTries);
    if (factory_) {
        channel_ = factory_(this, connection_);
    }
    if (channel_) {
        channel_->Open(connection_);
    }
}

bool CLinkEngine::IsConnected() const {
    return stateView_.load() != LinkState::Disconnected;
}

bool CLinkEngine::IsState(LinkState state) const {
    return stateView_.load() == state;
}

bool CLinkEngine::IsIdle() const {
    return callsOnTheirWay_.load() == 0 && idleView_.load();
}

void CLinkEngine::SetPolling(bool on) {
    const std::uint32_t rate = settings_.pollRate;
    Call([this, on, rate] { SetPollingHere(on, rate); });
}

void CLinkEngine::SetPollingHere(bool on, std::uint32_t rate) {
    if (!on) {
        ++pollArming_;
        pollTimer_.cancel();
        return;
    }
    if (rate == 0 || stopping_) {
        return;
    }
    pollPeriod_ = std::chrono::milliseconds(std::max<std::uint32_t>(1, 1000 / rate));
    pollDue_ = std::chrono::steady_clock::now() + pollPeriod_;
    ++pollArming_;
    ArmPollTimer();
}

void CLinkEngine::ArmPollTimer() {
    pollTimer_.expires_at(pollDue_);
    pollTimer_.async_wait([this, arming = pollArming_,
                           alive = std::weak_ptr<char>(alive_)](const std::error_code& error) {
        if (error || alive.expired() || arming != pollArming_) {
            return;
        }
        // A periodic timer: late expiries fold into one.
        const auto now = std::chrono::steady_clock::now();
        while (pollDue_ <= now) {
            pollDue_ += pollPeriod_;
        }
        ArmPollTimer();
        // Dropped with "Skipping Packet" while the link is busy.
        if (state_ != LinkState::Disconnected) {
            SubmitPacket(BuildReadLeds(), false, false);
        }
        Publish();
    });
}

void CLinkEngine::Request(ByteString packet, bool queueWhenBusy) {
    Call([this, packet = std::move(packet), queueWhenBusy] {
        if (state_ != LinkState::Disconnected) {
            SubmitPacket(packet, queueWhenBusy, false);
        }
    });
}

void CLinkEngine::Disconnect() {
    Call([this] {
        SetPollingHere(false, 0);
        if (state_ != LinkState::Disconnected) {
            SubmitPacket(BuildDisconnect(), true, false);
        }
    });
}

void CLinkEngine::Abort() {
    Call([this] {
        SetPollingHere(false, 0);
        if (state_ != LinkState::Disconnected) {
            RequestDisconnect();
        }
    });
}

void CLinkEngine::WriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                 std::uint8_t value) {
    Request(BuildWriteParameter(a, b, c, value));
}

void CLinkEngine::SendPreset(std::uint8_t preset, const ByteString& data) {
    Call([this, preset, data] {
        if (state_ == LinkState::Disconnected) {
            return;
        }
        upload_ = data;
        sendPresetNumber_ = preset;
        SubmitPacket(BuildSendPreset(preset), true, false);
    });
}

void CLinkEngine::SendUpgrade(const ByteString& data) {
    Call([this, data] {
        if (state_ == LinkState::Disconnected) {
            return;
        }
        upload_ = data;
        SubmitPacket(BuildSendUpgrade(), true, false);
    });
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
    Call([this, preset] {
        if (state_ == LinkState::Disconnected) {
            return;
        }
        getPresetNumber_ = preset;
        SubmitPacket(BuildGetPreset(preset), true, false);
    });
}

void CLinkEngine::SubmitPacket(const ByteString& packet, bool queueWhenBusy, bool raw) {
    if (state_ == LinkState::Disconnected) {
        return;
    }
    // Idle with packets of its kind queued means the idle step is due to send the first of
    // them: a new packet waits behind them rather than jump ahead.
    const bool sameKindWaiting = std::any_of(queue_.begin(), queue_.end(),
                                             [raw](const QueuedPacket& q) { return q.raw == raw; });
    if (state_ == LinkState::Idle && raw == IsActive() && !sameKindWaiting) {
        SendNow(packet);
    } else if (queueWhenBusy) {
        queue_.push_back({packet, raw});
    } else {
        Log("Skipping Packet");
    }
}

void CLinkEngine::SendNextQueued() {
    // While a transfer runs only its own packets go out: a request made meanwhile (a page
    // reading a parameter) would reach the processor in the middle of the blocks and break
    // the transfer. It waits for the transfer's end. A transfer packet still queued when its
    // transfer is over has no one left to answer it.
    const bool active = IsActive();
    if (!active) {
        std::erase_if(queue_, [](const QueuedPacket& queued) { return queued.raw; });
    }
    const auto next = std::find_if(queue_.begin(), queue_.end(),
                                   [active](const QueuedPacket& q) { return q.raw == active; });
    if (next == queue_.end()) {
        return;
    }
    Log("Uncaching Packet");
    ByteString packet = std::move(next->packet);
    queue_.erase(next);
    SendNow(packet);
}

void CLinkEngine::SendNow(const ByteString& packet) {
    lastPacket_ = packet;
    Post(LinkState::Send, packet);
}

void CLinkEngine::RequestDisconnect() {
    Post(LinkState::Disconnect);
}

void CLinkEngine::Post(LinkState state, ByteString payload) {
    state_ = state;
    payload_ = std::move(payload);
    Publish();
    if (mailboxDue_ || stopping_) {
        return;
    }
    mailboxDue_ = true;
    asio::post(io_.Context(), [this, alive = std::weak_ptr<char>(alive_)] {
        if (alive.expired()) {
            return;
        }
        mailboxDue_ = false;
        ServeMailbox();
        Publish();
    });
}

void CLinkEngine::ArmReplyTimer() {
    const std::uint64_t arming = ++replyArming_;
    replyTimer_.expires_after(std::chrono::milliseconds(replyTimeoutMs_));
    replyTimer_.async_wait([this, arming,
                            alive = std::weak_ptr<char>(alive_)](const std::error_code& error) {
        // A reply or a disconnect posted since the arming must not be replaced by it.
        if (error || alive.expired() || arming != replyArming_ || state_ != LinkState::WaitReply) {
            return;
        }
        Post(LinkState::ReplyTimeout, lastPacket_);
        Publish();
    });
}

void CLinkEngine::CancelReplyTimer() {
    ++replyArming_;
    replyTimer_.cancel();
}

// Each step acts on the state it was posted with. A step that calls out (the channel, the
// reply's effects) posts its next state only if nothing else was posted meanwhile: a channel
// reports a failure from inside Send, a reply asks for a disconnect, and those must stand.
void CLinkEngine::ServeMailbox() {
    const LinkState state = state_;
    const ByteString payload = std::move(payload_);
    payload_.clear();
    switch (state) {
    case LinkState::Disconnected:
        if (listener_ != nullptr) {
            listener_->OnDisconnected();
        }
        break;
    case LinkState::Connected:
        lastPacket_.clear();
        tries_ = 0;
        Post(LinkState::Idle);
        if (listener_ != nullptr) {
            listener_->OnConnected();
        }
        break;
    case LinkState::Idle:
        lastPacket_.clear();
        SendNextQueued();
        break;
    case LinkState::Send:
        ServeSend(payload);
        break;
    case LinkState::WaitReply:
        ServeWaitReply(payload);
        break;
    case LinkState::Reply:
        ServeReply(payload);
        break;
    case LinkState::Repeat:
        ServeRepeat(payload);
        break;
    case LinkState::Disconnect:
        ServeDisconnect();
        break;
    case LinkState::ReplyTimeout:
        Post(LinkState::Repeat, payload);
        break;
    }
}

void CLinkEngine::ServeSend(const ByteString& payload) {
    const std::string text = PacketLogText(payload);
    if (!text.empty()) {
        Log(text);
    }
    if (channel_) {
        channel_->Send(payload);
    }
    if (state_ == LinkState::Send) {
        Post(LinkState::WaitReply, payload);
    }
}

void CLinkEngine::ServeWaitReply(const ByteString& payload) {
    if (IsFinishing()) {
        // The last packet of a transfer is answered by nothing.
        End();
        if (state_ == LinkState::WaitReply) {
            Post(LinkState::Idle);
        }
        return;
    }
    lastPacket_ = payload;
    ArmReplyTimer();
}

void CLinkEngine::ServeReply(const ByteString& payload) {
    CancelReplyTimer();
    const bool accepted = ProcessReplyHere(payload);
    if (state_ != LinkState::Reply) {
        return; // the reply asked for a disconnect
    }
    if (!accepted) {
        Post(LinkState::Repeat, lastPacket_);
    } else if (IsActive() && std::none_of(queue_.begin(), queue_.end(),
                                          [](const QueuedPacket& q) { return q.raw; })) {
        // Taken by a running transfer without an answer to give (a stray ACK while receiving):
        // the last packet is still unanswered, so its answer is awaited, and on the time-out
        // it is repeated, instead of the link standing idle with the transfer open for good.
        Post(LinkState::WaitReply, lastPacket_);
    } else {
        tries_ = 0;
        Post(LinkState::Idle);
    }
}

void CLinkEngine::ServeRepeat(const ByteString& payload) {
    ++tries_;
    LogF("Try: %d", tries_);
    if (tries_ >= maxTries_) {
        Log("Too many tries. Disconnecting.");
        RequestDisconnect();
    } else if (payload.empty()) {
        // Nothing to repeat: back to idle rather than stay in this state for good.
        Post(LinkState::Idle);
    } else {
        Log(HexLine("Command retry send", payload));
        if (IsActive()) {
            // A transfer's packet is repeated through the queue, by the idle step, before
            // anything else waiting there.
            queue_.push_front({payload, true});
            Post(LinkState::Idle);
        } else {
            SendNow(payload);
        }
    }
}

void CLinkEngine::ServeDisconnect() {
    CancelReplyTimer();
    queue_.clear();
    SetPollingHere(false, 0);
    // Moved out first: the channel's report of its closing is the engine's own doing.
    std::unique_ptr<CLinkChannel> channel = std::move(channel_);
    if (channel) {
        channel->Close();
        channel.reset();
    }
    queue_.clear();
    Post(LinkState::Disconnected);
}

bool CLinkEngine::ProcessReply(const ByteString& reply) {
    if (io_.IsCurrent()) {
        return ProcessReplyHere(reply);
    }
    bool accepted = false;
    io_.Run([&] {
        accepted = ProcessReplyHere(reply);
        Publish();
    });
    return accepted;
}

bool CLinkEngine::ProcessReplyHere(const ByteString& reply) {
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
    case Command::WriteParameter:
        // The acknowledgement echoes the address and carries the value kept.
        if (lastPacket_.size() >= 5 && lastPacket_[0] == Command::WriteParameter &&
            lastPacket_[1] == r[2] && lastPacket_[2] == r[3] && lastPacket_[3] == r[4] &&
            lastPacket_[4] != r[5]) {
            listener_->OnParameterKept(r[2], r[3], r[4], r[5]);
        }
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
    if (!io_.IsCurrent()) {
        Call([this] { OnConnected(); });
        return;
    }
    Post(LinkState::Connected);
}

void CLinkEngine::OnDisconnected() {
    if (!io_.IsCurrent()) {
        Call([this] { OnDisconnected(); });
        return;
    }
    if (channel_) {
        Post(LinkState::Disconnected);
    }
}

void CLinkEngine::OnError(int code) {
    if (!io_.IsCurrent()) {
        Call([this, code] { OnError(code); });
        return;
    }
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
    if (!io_.IsCurrent()) {
        Call([this, bytes] { OnReceived(bytes); });
        return;
    }
    Log(HexLine("Recieved ", bytes));
    // Only a reply to a packet that went out is taken. Bytes that arrive while a packet waits
    // to go out or a disconnect is pending would otherwise replace that step and lose it.
    if (state_ == LinkState::WaitReply || state_ == LinkState::Reply ||
        state_ == LinkState::ReplyTimeout) {
        Post(LinkState::Reply, bytes);
    }
}

int CLinkEngine::ExpectedReplyLength(const ByteString& bytes) {
    // A transport on another thread sees the transfer flag as last published.
    const bool active = io_.IsCurrent() ? IsActive() : activeView_.load();
    return active ? CXModem::ExpectedLength(bytes) : ::ExpectedReplyLength(bytes);
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
