#include "ctl/CLinkSession.h"

#include <algorithm>
#include <cstdlib>

#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"

namespace {

// How often an idle wait looks at the engine's state between events.
constexpr auto kIdleCheck = std::chrono::milliseconds(2);

constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kRefusal = 0x15;
constexpr std::uint8_t kWriteParameter = 0x01;

// The bytes of a "Recieved  - 06 - 80 - ..." line of the link's log.
ByteString ReceivedBytes(const std::string& line) {
    ByteString bytes;
    for (std::size_t at = line.find(" - "); at != std::string::npos;
         at = line.find(" - ", at + 3)) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::strtoul(line.c_str() + at + 3, nullptr, 16)));
    }
    return bytes;
}

} // namespace

CLinkSession::CLinkSession(CConnectionSettings& settings, LineSink logSink)
    : m_settings(settings), m_logSink(std::move(logSink)),
      m_engine(std::make_unique<CLinkEngine>(this, settings)) {}

CLinkSession::~CLinkSession() {
    m_engine.reset();
}

void CLinkSession::Push(Event event) {
    // Log lines are not awaited: they only count as activity and wake nobody.
    const bool awaited = event.kind != Kind::Log;
    {
        std::lock_guard lock(m_mutex);
        m_lastActivity = Clock::now();
        if (event.kind == Kind::Connected) {
            m_connected = true;
        } else if (event.kind == Kind::Disconnected || event.kind == Kind::Error) {
            m_connected = false;
        }
        if (event.kind == Kind::Error) {
            m_errorCode = event.number;
        }
        if (event.kind == Kind::Log) {
            Observe(event.text);
            if (m_logWatcher) {
                m_logWatcher(event.text);
            }
        } else {
            m_events.push_back(std::move(event));
        }
    }
    if (awaited) {
        m_changed.notify_all();
    }
}

// The link reports refusals and acknowledgements without data only in its log; its lines are
// fixed texts, so they are read here to tell a refusal from silence.
void CLinkSession::Observe(const std::string& line) {
    if (line.rfind("Recieved ", 0) == 0) {
        const ByteString bytes = ReceivedBytes(line);
        if (bytes.empty()) {
            return;
        }
        if (bytes[0] == kRefusal && !m_acknowledged) {
            m_lastAnswer = Answer::Refusal;
            return;
        }
        m_lastAnswer = Answer::Other;
        if (bytes[0] == kAck && bytes.size() >= 2) {
            m_acknowledged = true;
            m_lastReceived = bytes;
        }
    } else if (line.rfind("Try: ", 0) == 0) {
        const int tries = std::atoi(line.c_str() + 5);
        m_lastTryRefused = m_lastAnswer == Answer::Refusal;
        const int maxTries = static_cast<int>(m_settings.maxTries);
        if (m_lastAnswer == Answer::None && m_retrySink && tries < maxTries) {
            m_retrySink(tries + 1, maxTries);
        }
        m_lastAnswer = Answer::None;
    }
}

CLinkSession::Status CLinkSession::FailureLocked() const {
    return m_lastTryRefused && !m_acknowledged ? Status::Refused : Status::NoResponse;
}

void CLinkSession::SetRetrySink(RetrySink sink) {
    std::lock_guard lock(m_mutex);
    m_retrySink = std::move(sink);
}

void CLinkSession::Forget() {
    std::lock_guard lock(m_mutex);
    m_transferBroken = false;
    m_lastAnswer = Answer::None;
    m_lastTryRefused = false;
    m_acknowledged = false;
    m_lastReceived.clear();
    std::erase_if(m_events, [](const Event& e) {
        return e.kind != Kind::Disconnected && e.kind != Kind::Error;
    });
    m_lastActivity = Clock::now();
}

CLinkSession::Status CLinkSession::TransferResult(Status status) const {
    std::lock_guard lock(m_mutex);
    return status == Status::Ok && m_transferBroken ? Status::Cancelled : status;
}

CLinkSession::Clock::duration CLinkSession::QuietLimit() const {
    // The engine repeats a request up to its tries, each after the reply time-out; after
    // that it has dropped the link. Silence beyond this means something else went wrong.
    const auto tries = std::max<std::uint32_t>(1, m_settings.maxTries) + 1;
    return std::chrono::milliseconds(m_settings.replyTimeoutMs) * tries + std::chrono::seconds(2);
}

CLinkSession::Status CLinkSession::Await(Kind kind, Event& out) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto it = std::find_if(m_events.begin(), m_events.end(), [&](const Event& e) {
            return e.kind == kind || e.kind == Kind::Disconnected || e.kind == Kind::Error;
        });
        if (it != m_events.end()) {
            if (it->kind != kind) {
                return FailureLocked();
            }
            out = std::move(*it);
            m_events.erase(it);
            return Status::Ok;
        }
        if (m_changed.wait_until(lock, m_lastActivity + QuietLimit()) == std::cv_status::timeout &&
            Clock::now() >= m_lastActivity + QuietLimit()) {
            return FailureLocked();
        }
    }
}

CLinkSession::Status CLinkSession::AwaitIdle() {
    for (;;) {
        // The engine is asked without our lock held: it calls us with its own lock held.
        const bool idle = m_engine->IsIdle();
        std::unique_lock lock(m_mutex);
        if (!m_connected) {
            return FailureLocked();
        }
        if (idle) {
            return Status::Ok;
        }
        if (Clock::now() >= m_lastActivity + QuietLimit()) {
            return FailureLocked();
        }
        m_changed.wait_for(lock, kIdleCheck);
    }
}

CLinkSession::Status CLinkSession::Connect() {
    Forget();
    m_engine->Connect();
    Event event;
    return Await(Kind::Connected, event);
}

CLinkSession::Status CLinkSession::Disconnect() {
    if (!m_engine->IsConnected()) {
        return Status::Ok;
    }
    Forget();
    m_engine->Disconnect();
    std::unique_lock lock(m_mutex);
    const bool closed = m_changed.wait_for(lock, QuietLimit(), [&] { return !m_connected; });
    return closed ? Status::Ok : Status::NoResponse;
}

CLinkSession::Status CLinkSession::ReadVersion(std::string& version) {
    Forget();
    m_engine->ReadVersion();
    Event event;
    const Status status = Await(Kind::Version, event);
    version = event.text;
    return status;
}

CLinkSession::Status CLinkSession::ReadParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                                 std::uint8_t& value) {
    Forget();
    m_engine->ReadParameter(a, b, c);
    Event event;
    const Status status = Await(Kind::Parameter, event);
    value = static_cast<std::uint8_t>(static_cast<std::uint32_t>(event.number) >> 24);
    return status;
}

CLinkSession::Status CLinkSession::WriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                                  std::uint8_t value) {
    Forget();
    m_engine->WriteParameter(a, b, c, value);
    return AwaitIdle();
}

CLinkSession::Status CLinkSession::WriteParameter(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                                  std::uint8_t value, std::uint8_t& stored) {
    const Status status = WriteParameter(a, b, c, value);
    if (status != Status::Ok) {
        return status;
    }
    {
        // The acknowledgement echoes the address and carries the value kept.
        std::lock_guard lock(m_mutex);
        const ByteString& ack = m_lastReceived;
        if (ack.size() == 7 && ack[1] == kWriteParameter && ack[2] == a && ack[3] == b &&
            ack[4] == c) {
            stored = ack[5];
            return Status::Ok;
        }
    }
    return ReadParameter(a, b, c, stored);
}

CLinkSession::Status CLinkSession::ReadLeds(ByteString& reply) {
    Forget();
    m_engine->ReadLeds();
    Event event;
    const Status status = Await(Kind::Leds, event);
    reply = std::move(event.data);
    return status;
}

CLinkSession::Status CLinkSession::GetConfig(int lockCode, ByteString& description) {
    Forget();
    m_engine->GetConfig(lockCode);
    Event event;
    Status status = Await(Kind::Config, event);
    description = std::move(event.data);
    if (status == Status::NoResponse) {
        // Only a Get Config the processor never acknowledged means a refused lock code; once
        // the description was on its way, silence is silence.
        std::lock_guard lock(m_mutex);
        status = m_acknowledged ? Status::NoResponse : Status::Refused;
    }
    return TransferResult(status);
}

CLinkSession::Status CLinkSession::GetFactoryPresetNumber(int& count) {
    Forget();
    m_engine->GetFactoryPresetNumber();
    Event event;
    const Status status = Await(Kind::FactoryPresetNumber, event);
    count = event.number;
    return status;
}

CLinkSession::Status CLinkSession::GetPreset(std::uint8_t preset, ByteString& data) {
    Forget();
    m_engine->GetPreset(preset);
    Event event;
    const Status status = Await(Kind::Preset, event);
    data = std::move(event.data);
    return TransferResult(status);
}

CLinkSession::Status CLinkSession::SendPreset(std::uint8_t preset, const ByteString& data) {
    Forget();
    m_engine->SendPreset(preset, data);
    Event event;
    return TransferResult(Await(Kind::PresetSent, event));
}

CLinkSession::Status CLinkSession::LoadPreset(std::uint8_t preset, int& loaded) {
    Forget();
    m_engine->LoadPreset(preset);
    Event event;
    const Status status = Await(Kind::PresetLoaded, event);
    loaded = event.number;
    return status;
}

CLinkSession::Status CLinkSession::SavePreset(std::uint8_t preset) {
    Forget();
    m_engine->SavePreset(preset);
    return AwaitIdle();
}

CLinkSession::Status CLinkSession::RenamePreset(std::uint8_t preset, const std::string& name) {
    Forget();
    m_engine->RenamePreset(preset, name);
    return AwaitIdle();
}

CLinkSession::Status CLinkSession::Compare() {
    Forget();
    m_engine->Compare();
    return AwaitIdle();
}

CLinkSession::Status CLinkSession::Revert() {
    Forget();
    m_engine->Revert();
    return AwaitIdle();
}

CLinkSession::Status CLinkSession::MetersFlip() {
    Forget();
    m_engine->MetersFlip();
    return AwaitIdle();
}

CLinkSession::Status CLinkSession::BypassUpdate(std::uint8_t bypass, int& state) {
    Forget();
    m_engine->BypassUpdate(bypass);
    Event event;
    const Status status = Await(Kind::Bypass, event);
    state = event.number;
    return status;
}

CLinkSession::Status CLinkSession::SendUpgrade(const ByteString& image,
                                               const std::function<void(int)>& progress) {
    Forget();
    // Each acknowledgement the processor gives during the transfer is one block taken.
    int acknowledged = 0;
    {
        std::lock_guard lock(m_mutex);
        m_logWatcher = [&](const std::string& line) {
            if (line.rfind("Recieved  - 06", 0) == 0 && line.size() == 14) {
                ++acknowledged;
                if (acknowledged > 0 && progress) {
                    progress(acknowledged);
                }
            }
        };
    }
    m_engine->SendUpgrade(image);
    const Status status = AwaitIdle();
    {
        std::lock_guard lock(m_mutex);
        m_logWatcher = nullptr;
    }
    return TransferResult(status);
}

CLinkSession::Status CLinkSession::Watch(const std::function<bool(const ByteString&)>& onLeds,
                                         const std::function<void()>& onQuiet,
                                         const volatile bool& stop) {
    Forget();
    m_engine->SetPolling(true);
    const auto quietAfter = std::chrono::milliseconds(m_settings.replyTimeoutMs);
    auto lastState = Clock::now();
    bool quiet = false;
    Status status = Status::Ok;
    while (!stop) {
        Event event;
        {
            // Wake now and then so a stop request is seen without a state arriving.
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(
                lock, std::min<Clock::duration>(std::chrono::milliseconds(100), quietAfter),
                [&] { return !m_events.empty(); });
            if (m_events.empty()) {
                if (Clock::now() >= m_lastActivity + QuietLimit()) {
                    status = Status::NoResponse;
                    break;
                }
                if (!quiet && Clock::now() >= lastState + quietAfter) {
                    quiet = true;
                    lock.unlock();
                    if (onQuiet) {
                        onQuiet();
                    }
                }
                continue;
            }
            event = std::move(m_events.front());
            m_events.pop_front();
        }
        if (event.kind == Kind::Disconnected || event.kind == Kind::Error) {
            status = Status::NoResponse;
            break;
        }
        if (event.kind == Kind::Leds) {
            lastState = Clock::now();
            quiet = false;
            if (!onLeds(event.data)) {
                break;
            }
        }
    }
    m_engine->SetPolling(false);
    if (status == Status::Ok) {
        // A poll may still be out; let it finish before the next request.
        status = AwaitIdle();
    }
    return status;
}

int CLinkSession::LastErrorCode() const {
    std::lock_guard lock(m_mutex);
    return m_errorCode;
}

void CLinkSession::OnConnected() {
    Push({Kind::Connected});
}
void CLinkSession::OnDisconnected() {
    Push({Kind::Disconnected});
}
void CLinkSession::OnError(int code) {
    Push({Kind::Error, code});
}
void CLinkSession::OnVersion(const std::string& text) {
    Push({Kind::Version, 0, {}, text});
}

void CLinkSession::OnParameter(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4) {
    const auto word = static_cast<std::uint32_t>(d1) | (static_cast<std::uint32_t>(d2) << 8) |
                      (static_cast<std::uint32_t>(d3) << 16) |
                      (static_cast<std::uint32_t>(d4) << 24);
    Push({Kind::Parameter, static_cast<int>(word)});
}

void CLinkSession::OnLeds(const ByteString& reply) {
    Push({Kind::Leds, 0, reply});
}
void CLinkSession::OnConfig(const ByteString& data) {
    Push({Kind::Config, 0, data});
}
void CLinkSession::OnFactoryPresetNumber(int n) {
    Push({Kind::FactoryPresetNumber, n});
}
void CLinkSession::OnPresetLoaded(int n) {
    Push({Kind::PresetLoaded, n});
}
void CLinkSession::OnBypass(int n) {
    Push({Kind::Bypass, n});
}
void CLinkSession::OnPreset(int n, const ByteString& data) {
    Push({Kind::Preset, n, data});
}
void CLinkSession::OnPresetSent(int n, const ByteString& data) {
    Push({Kind::PresetSent, n, data});
}

void CLinkSession::OnTransferFailed(std::uint8_t command) {
    {
        std::lock_guard lock(m_mutex);
        m_transferBroken = true;
    }
    // Whoever waits for the transfer's result wakes up and learns it was cancelled.
    switch (command) {
    case 0x83:
        Push({Kind::Config});
        break;
    case 0x85:
        Push({Kind::Preset});
        break;
    case 0x02:
        Push({Kind::PresetSent});
        break;
    default: // an upgrade: its sender waits for the link to go idle
        m_changed.notify_all();
        break;
    }
}

void CLinkSession::OnLog(const std::string& line) {
    if (m_logSink) {
        m_logSink(line);
    }
    Push({Kind::Log, 0, {}, line});
}
