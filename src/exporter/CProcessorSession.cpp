#include "exporter/CProcessorSession.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <asio/post.hpp>

#include "description/Latin1Text.h"
#include "link/CLinkEngine.h"
#include "link/CSerialPort.h"

namespace {

constexpr int kNameBytes = 15;
constexpr int kLinkTries = 10;
// After a failed preset transfer the names are tried again this soon, not in ten minutes.
constexpr std::chrono::seconds kNamesRetry{30};

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string ErrorText(int code) {
    if (code == EBUSY) {
        return "serial port in use by another program";
    }
    return std::system_category().message(code) + " (" + std::to_string(code) + ")";
}

// A serial port that does not open is reported as -1 alone; asking the port itself tells
// an engineer whether another program holds it or the device is missing.
std::string SerialErrorText(const std::string& device, int code) {
    switch (CheckPort(device)) {
    case 1:
        return "no such serial device";
    case 2:
        return "serial port in use by another program";
    default:
        return code == -1 ? "serial port does not open" : ErrorText(code);
    }
}

} // namespace

std::chrono::milliseconds CProcessorSession::Jittered(std::chrono::milliseconds pause,
                                                      std::uint32_t random) {
    // Half the pause, plus up to the other half at random.
    const auto half = pause.count() / 2;
    return std::chrono::milliseconds(
        half + static_cast<long>(random % static_cast<std::uint32_t>(pause.count() - half + 1)));
}

const std::vector<double>& CProcessorSession::RoundTripBuckets() {
    // From loopback UDP (well under a millisecond) to a slow serial line with retries.
    static const std::vector<double> buckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                0.05,   0.1,   0.25,   0.5,   1.0,  2.5};
    return buckets;
}

CProcessorSession::CProcessorSession(asio::io_context& io, ProcessorTarget target,
                                     const Timing& timing, CIoThread* linkThread)
    : m_io(io), m_target(std::move(target)), m_timing(timing), m_pollTimer(io),
      m_reconnectTimer(io), m_watchdogTimer(io), m_idleTimer(io), m_pause(timing.firstPause),
      m_roundTrip(RoundTripBuckets()), m_random(std::random_device()()) {
    m_settings.SetLinkDefaults();
    m_settings.replyTimeoutMs = static_cast<std::uint32_t>(timing.replyTimeoutMs);
    m_settings.maxTries = kLinkTries;
    if (m_target.IsSerial()) {
        m_settings.serial = 1;
        m_settings.portName = m_target.device;
    } else {
        m_settings.serial = 0;
        m_settings.portName = CConnectionSettings::kEthernetPortName;
        m_settings.host = m_target.host;
        m_settings.port = static_cast<std::uint32_t>(m_target.port);
    }
    m_engine = linkThread ? std::make_unique<CLinkEngine>(this, m_settings, *linkThread)
                          : std::make_unique<CLinkEngine>(this, m_settings);
}

CProcessorSession::~CProcessorSession() {
    // Stop the link's threads before anything they might call into goes.
    m_engine.reset();
}

template <typename F> void CProcessorSession::Post(F&& handler) {
    asio::post(m_io, std::forward<F>(handler));
}

void CProcessorSession::Start() {
    m_started = true;
    m_namesDue = Clock::now() + m_timing.namesRefresh;
    Connect();
    m_pollTimer.expires_after(std::chrono::milliseconds(0));
    ArmPoll();
}

void CProcessorSession::Stop(std::function<void()> done) {
    m_stopping = true;
    m_pollTimer.cancel();
    m_reconnectTimer.cancel();
    m_watchdogTimer.cancel();
    m_idleTimer.cancel();
    ClearJobs();
    if (!m_linkOpen) {
        done();
        return;
    }
    m_stopped = std::move(done);
    // A processor that does not answer would hold a Disconnect behind its unanswered request
    // for all its tries: drop its link at once.
    if (m_up) {
        m_engine->Disconnect();
    } else {
        m_engine->Abort();
    }
}

void CProcessorSession::Connect() {
    ++m_attempts;
    if (m_attempts > 1) {
        ++m_reconnects;
    }
    m_outstanding = Request::None;
    if (m_borrowed) {
        FailBorrowed(std::exchange(m_borrowed, nullptr), ReadResult::Outcome::NoResponse);
    }
    ClearJobs();
    m_engine->Connect();
}

void CProcessorSession::ScheduleReconnect() {
    if (m_stopping || m_reconnectPending) {
        return;
    }
    m_reconnectPending = true;
    m_reconnectTimer.expires_after(Jittered(m_pause, m_random()));
    m_pause = std::min(m_pause * 2, m_timing.longestPause);
    m_reconnectTimer.async_wait([this](const std::error_code& ec) {
        m_reconnectPending = false;
        if (!ec && !m_stopping) {
            Connect();
        }
    });
}

void CProcessorSession::ArmPoll() {
    // From the last expiry, so the cadence does not drift by the time each poll takes.
    const auto next = m_pollTimer.expiry() + m_timing.interval;
    m_pollTimer.expires_at(std::max(next, Clock::now()));
    m_pollTimer.async_wait([this](const std::error_code& ec) {
        if (ec || m_stopping) {
            return;
        }
        m_pollDue = true;
        Pump();
        ArmPoll();
    });
}

// --- listener: hand over to the io_context thread -------------------------------------------

void CProcessorSession::OnConnected() {
    Post([this] { HandleConnected(); });
}

void CProcessorSession::OnDisconnected() {
    Post([this] { HandleDown("link closed"); });
}

void CProcessorSession::OnError(int code) {
    Post([this, code] { HandleError(code); });
}

void CProcessorSession::OnVersion(const std::string& text) {
    Post([this, text, at = Clock::now()] { HandleVersion(text, at); });
}

void CProcessorSession::OnLeds(const ByteString& reply) {
    Post([this, reply, at = Clock::now()] { HandleLeds(reply, at); });
}

void CProcessorSession::OnFactoryPresetNumber(int n) {
    Post([this, n, at = Clock::now()] { HandlePresetCount(n, at); });
}

void CProcessorSession::OnPreset(int n, const ByteString& data) {
    Post([this, n, data, at = Clock::now()] { HandlePreset(n, data, at); });
}

void CProcessorSession::OnTransferFailed(std::uint8_t) {
    Post([this] { HandleTransferFailed(); });
}

void CProcessorSession::OnParameter(std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t value) {
    Post([this, value, at = Clock::now()] { HandleParameter(value, at); });
}

void CProcessorSession::OnConfig(const ByteString& data) {
    Post([this, data, at = Clock::now()] { HandleConfig(data, at); });
}

void CProcessorSession::OnLog(const std::string& line) {
    // A Get Config the processor acknowledged was not refused for its lock code, whatever
    // happens to the transfer after.
    if (StartsWith(line, "Recieved ") && line.find(" - 06 - 83") != std::string::npos) {
        Post([this] {
            if (m_borrowed && m_borrowed->read.kind == Read::Kind::Config) {
                m_borrowed->acknowledged = true;
            }
        });
        return;
    }
    // Only the lines that count something cross over; the "Recieved" dumps do not.
    if (line == "Read Leds State" || line == "Read version" ||
        line == "Get Factory Preset Number" || StartsWith(line, "Command retry send") ||
        StartsWith(line, "Try: ") || line == "Too many tries. Disconnecting." ||
        line == "Skipping Packet") {
        Post([this, line, at = Clock::now()] { HandleLog(line, at); });
    }
}

// --- on the io_context thread ----------------------------------------------------------------

void CProcessorSession::HandleConnected() {
    m_linkOpen = true;
    if (m_stopping) {
        m_engine->Disconnect();
        return;
    }
    m_outstanding = Request::None;
    ClearJobs();
    m_jobs.push_back({Request::Version});
    Pump();
}

void CProcessorSession::HandleDown(const std::string& cause) {
    m_linkOpen = false;
    m_up = false;
    m_leds.reset();
    // A cause already known (no reply, a channel error) says more than the closing itself.
    if (m_cause.empty() || m_cause == "connecting") {
        m_cause = cause;
    }
    m_outstanding = Request::None;
    m_watchdogTimer.cancel();
    if (m_borrowed) {
        FailBorrowed(std::exchange(m_borrowed, nullptr), ReadResult::Outcome::NoResponse);
    }
    ClearJobs();
    if (m_stopping) {
        if (m_stopped) {
            std::exchange(m_stopped, nullptr)();
        }
        return;
    }
    ScheduleReconnect();
}

void CProcessorSession::HandleError(int code) {
    ++m_failures;
    m_cause = m_target.IsSerial() ? SerialErrorText(m_target.device, code) : ErrorText(code);
    m_up = false;
    m_leds.reset();
    // A channel that never opened reports nothing else; one that was open is being closed
    // by the link and reports its disconnection next.
    if (!m_linkOpen) {
        if (m_stopping) {
            if (m_stopped) {
                std::exchange(m_stopped, nullptr)();
            }
            return;
        }
        ScheduleReconnect();
    }
}

void CProcessorSession::HandleLog(const std::string& line, Clock::time_point at) {
    if (StartsWith(line, "Try: ")) {
        ++m_retries;
    } else if (line == "Too many tries. Disconnecting.") {
        ++m_failures;
        m_cause = "no reply";
    } else if (line == "Skipping Packet") {
        // The link was busy after all: take the request back and try again in a moment.
        if (m_outstanding == Request::Leds || m_outstanding == Request::Borrowed) {
            if (m_outstanding == Request::Borrowed && m_borrowed) {
                m_jobs.push_front({Request::Borrowed, 0, std::exchange(m_borrowed, nullptr)});
            } else {
                m_pollDue = true;
            }
            m_outstanding = Request::None;
            m_idleTimer.expires_after(std::chrono::milliseconds(5));
            m_idleTimer.async_wait([this](const std::error_code& ec) {
                if (!ec) {
                    Pump();
                }
            });
        }
    } else if (!m_lastSend) {
        // The first send of the request starts the clock; its repetitions do not restart it.
        m_lastSend = at;
    }
}

void CProcessorSession::HandleVersion(const std::string& text, Clock::time_point at) {
    m_version = Latin1Text::ToUtf8(text);
    if (m_outstanding == Request::Borrowed) {
        Done(at);
        ReadResult result;
        result.outcome = ReadResult::Outcome::Ok;
        result.text = text;
        FinishBorrowed(std::move(result));
        Pump();
        return;
    }
    m_up = true;
    m_cause.clear();
    m_pause = m_timing.firstPause;
    Done(at);
    // A restarted processor may hold other presets: read the list on every connect.
    QueueNames();
    m_pollDue = true;
    Pump();
}

void CProcessorSession::HandleLeds(const ByteString& reply, Clock::time_point at) {
    const bool borrowed = m_outstanding == Request::Borrowed;
    Done(at);
    if (borrowed) {
        ReadResult result;
        result.outcome = ReadResult::Outcome::Ok;
        result.data = reply;
        FinishBorrowed(std::move(result));
    }
    CLedState leds(reply);
    if (ListMayHaveChanged(leds)) {
        m_lastListTrigger = std::make_tuple(leds.tr, leds.dp, leds.def, leds.current);
        QueueNames();
    } else if (m_leds && PresetsWereEdited(*m_leds, leds)) {
        QueueNames();
    }
    m_leds = std::move(leds);
    if (at >= m_namesDue) {
        QueueNames();
    }
    Pump();
}

void CProcessorSession::HandlePresetCount(int count, Clock::time_point at) {
    const bool borrowed = m_outstanding == Request::Borrowed;
    Done(at);
    if (borrowed) {
        // The borrower reads the presets itself: the session's list is not read again.
        ReadResult result;
        result.outcome = ReadResult::Outcome::Ok;
        result.number = count;
        FinishBorrowed(std::move(result));
        Pump();
        return;
    }
    m_presetCount = count;
    m_presetNames.resize(static_cast<std::size_t>(std::max(count, 0)));
    m_namesDue = at + m_timing.namesRefresh;
    for (int n = 0; n < count; ++n) {
        m_jobs.push_back({Request::Preset, n});
    }
    Pump();
}

void CProcessorSession::HandlePreset(int number, const ByteString& data, Clock::time_point at) {
    m_lastReply = at;
    if (m_outstanding == Request::Borrowed) {
        ReadResult result;
        result.outcome = ReadResult::Outcome::Ok;
        result.data = data;
        result.number = number;
        FinishBorrowed(std::move(result));
    }
    m_outstanding = Request::None;
    m_watchdogTimer.cancel();
    if (number >= 0 && number < static_cast<int>(m_presetNames.size())) {
        const auto size = std::min<std::size_t>(data.size(), kNameBytes);
        const auto end = std::find(data.begin(), data.begin() + static_cast<long>(size), 0);
        m_presetNames[static_cast<std::size_t>(number)] =
            Latin1Text::ToUtf8(std::string(data.begin(), end));
    }
    Pump();
}

void CProcessorSession::HandleTransferFailed() {
    if (m_borrowed) {
        FailBorrowed(std::exchange(m_borrowed, nullptr), ReadResult::Outcome::Cancelled);
    }
    m_outstanding = Request::None;
    m_watchdogTimer.cancel();
    m_namesDue = std::min(m_namesDue, Clock::now() + kNamesRetry);
    Pump();
}

void CProcessorSession::Done(Clock::time_point at) {
    m_lastReply = at;
    if (m_lastSend) {
        m_roundTrip.Observe(std::max(0.0, Seconds(at - *m_lastSend)));
        m_lastSend.reset();
    }
    m_outstanding = Request::None;
    m_watchdogTimer.cancel();
}

void CProcessorSession::QueueNames() {
    const bool queued = std::any_of(m_jobs.begin(), m_jobs.end(), [](const Job& job) {
        return job.request == Request::PresetCount || job.request == Request::Preset;
    });
    if (!queued && m_outstanding != Request::PresetCount && m_outstanding != Request::Preset) {
        m_jobs.push_back({Request::PresetCount});
    }
}

bool CProcessorSession::ListMayHaveChanged(const CLedState& leds) const {
    if (m_presetCount < 0) {
        return false;
    }
    const auto unknown = [&](int number, bool mayBeUnset) {
        return !(mayBeUnset && number == ProcessorStatus::kNoMarker) && number >= m_presetCount;
    };
    if (!unknown(leds.tr, true) && !unknown(leds.dp, true) && !unknown(leds.def, true) &&
        !unknown(leds.current, false)) {
        return false;
    }
    // Once per unknown state: a processor whose markers stay out of range is not asked again
    // on every poll.
    return m_lastListTrigger != std::make_tuple(leds.tr, leds.dp, leds.def, leds.current);
}

bool CProcessorSession::PresetsWereEdited(const CLedState& before, const CLedState& now) {
    // A rename leaves no trace in the LED state, but the preset work around it does: markers
    // moved to other presets, or edits saved (the change flag falls, out of compare; a load
    // over pending edits looks the same). Either is rare, and reading the list again costs a
    // few transfers.
    const bool markersMoved = before.tr != now.tr || before.dp != now.dp || before.def != now.def;
    const bool editsSaved = before.change && !now.change && !now.compare;
    return markersMoved || editsSaved;
}

void CProcessorSession::Pump() {
    if (m_stopping || !m_linkOpen || m_outstanding != Request::None) {
        return;
    }
    if (m_pollDue && !m_version.empty() && m_up) {
        m_pollDue = false;
        Send({Request::Leds});
        return;
    }
    if (m_leds && m_leds->compare) {
        // Reading a preset ends compare on the processor and changes what is on air: while it
        // compares, the session's own preset reads wait, and a borrower's are turned down.
        for (auto it = m_jobs.begin(); it != m_jobs.end();) {
            if (it->borrowed && it->borrowed->read.kind == Read::Kind::Preset) {
                const auto borrowed = it->borrowed;
                it = m_jobs.erase(it);
                FailBorrowed(borrowed, ReadResult::Outcome::Cancelled);
            } else {
                ++it;
            }
        }
        const auto next = std::find_if(m_jobs.begin(), m_jobs.end(), [](const Job& job) {
            return job.request != Request::Preset;
        });
        if (next != m_jobs.end()) {
            const Job job = *next;
            m_jobs.erase(next);
            Send(job);
        }
        return;
    }
    if (!m_jobs.empty()) {
        const Job job = m_jobs.front();
        m_jobs.pop_front();
        Send(job);
    }
}

std::chrono::milliseconds CProcessorSession::Watchdog() const {
    // Longer than the link could spend on every try of one request, and a transfer on top.
    return std::chrono::milliseconds(m_timing.replyTimeoutMs * (kLinkTries + 2) + 5000);
}

void CProcessorSession::Send(const Job& job) {
    m_outstanding = job.request;
    ++m_requests;
    m_watchdogTimer.expires_after(Watchdog());
    m_watchdogTimer.async_wait([this](const std::error_code& ec) {
        // A request whose end never came (dropped by a busy link) must not block the rest.
        if (!ec && m_outstanding != Request::None) {
            if (m_borrowed) {
                FailBorrowed(std::exchange(m_borrowed, nullptr), ReadResult::Outcome::NoResponse);
            }
            m_outstanding = Request::None;
            Pump();
        }
    });
    m_lastSend.reset();
    switch (job.request) {
    case Request::Version:
        m_engine->ReadVersion();
        break;
    case Request::PresetCount:
        m_engine->GetFactoryPresetNumber();
        break;
    case Request::Preset:
        // A transfer is no round trip: it logs no send, so nothing is timed.
        m_engine->GetPreset(static_cast<std::uint8_t>(job.preset));
        break;
    case Request::Leds:
        m_engine->ReadLeds();
        break;
    case Request::Borrowed: {
        m_borrowed = job.borrowed;
        const Read& read = m_borrowed->read;
        switch (read.kind) {
        case Read::Kind::Version:
            m_engine->ReadVersion();
            break;
        case Read::Kind::Config:
            m_engine->GetConfig(read.lockCode);
            break;
        case Read::Kind::PresetCount:
            m_engine->GetFactoryPresetNumber();
            break;
        case Read::Kind::Preset:
            m_engine->GetPreset(read.a);
            break;
        case Read::Kind::Parameter:
            m_engine->ReadParameter(read.a, read.b, read.c);
            break;
        case Read::Kind::Leds:
            m_engine->ReadLeds();
            break;
        }
        break;
    }
    case Request::None:
        break;
    }
}

void CProcessorSession::Submit(const Read& read, ReadDone done) {
    auto borrowed = std::make_shared<Borrowed>(Borrowed{read, std::move(done)});
    if (m_stopping || !m_up) {
        FailBorrowed(borrowed, ReadResult::Outcome::NoResponse);
        return;
    }
    m_jobs.push_back({Request::Borrowed, 0, std::move(borrowed)});
    Pump();
}

void CProcessorSession::HandleParameter(std::uint8_t value, Clock::time_point at) {
    if (m_outstanding != Request::Borrowed) {
        return; // the session itself reads no parameters
    }
    Done(at);
    ReadResult result;
    result.outcome = ReadResult::Outcome::Ok;
    result.value = value;
    FinishBorrowed(std::move(result));
    Pump();
}

void CProcessorSession::HandleConfig(const ByteString& data, Clock::time_point at) {
    if (m_outstanding != Request::Borrowed) {
        return;
    }
    m_lastReply = at;
    m_outstanding = Request::None;
    m_watchdogTimer.cancel();
    ReadResult result;
    result.outcome = ReadResult::Outcome::Ok;
    result.data = data;
    FinishBorrowed(std::move(result));
    Pump();
}

bool CProcessorSession::FinishBorrowed(ReadResult result) {
    auto borrowed = std::exchange(m_borrowed, nullptr);
    if (!borrowed) {
        return false;
    }
    if (borrowed->done) {
        std::exchange(borrowed->done, nullptr)(result);
    }
    return true;
}

void CProcessorSession::FailBorrowed(const std::shared_ptr<Borrowed>& borrowed,
                                     ReadResult::Outcome outcome) {
    // A Get Config that was never acknowledged went unanswered for its lock code.
    if (outcome == ReadResult::Outcome::NoResponse && borrowed->read.kind == Read::Kind::Config &&
        !borrowed->acknowledged) {
        outcome = ReadResult::Outcome::Refused;
    }
    ReadResult result;
    result.outcome = outcome;
    if (borrowed->done) {
        std::exchange(borrowed->done, nullptr)(result);
    }
}

void CProcessorSession::ClearJobs() {
    auto jobs = std::move(m_jobs);
    m_jobs.clear();
    for (const Job& job : jobs) {
        if (job.borrowed) {
            FailBorrowed(job.borrowed, ReadResult::Outcome::NoResponse);
        }
    }
}

ProcessorStatus CProcessorSession::Status() const {
    ProcessorStatus s;
    s.name = m_target.name;
    s.link = m_target.IsSerial() ? "serial" : "udp";
    s.address = m_target.Address();
    s.up = m_up;
    s.cause = m_up ? std::string() : m_cause;
    s.version = m_version;
    if (m_up) {
        s.leds = m_leds;
    }
    s.presetCount = m_presetCount;
    s.presetNames = m_presetNames;
    if (m_lastReply) {
        s.lastReplyAgeSeconds = Seconds(Clock::now() - *m_lastReply);
        s.lastReplyUnixSeconds =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count() -
            *s.lastReplyAgeSeconds;
    }
    s.requests = m_requests;
    s.retries = m_retries;
    s.failures = m_failures;
    s.reconnects = m_reconnects;
    s.roundTrip = m_roundTrip.Collect();
    return s;
}
