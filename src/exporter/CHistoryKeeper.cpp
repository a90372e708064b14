#include "exporter/CHistoryKeeper.h"

#include <ctime>
#include <iostream>
#include <tuple>

#include <asio/post.hpp>

#include "exporter/CHistoryStore.h"
#include "exporter/CProcessorSession.h"
#include "exporter/CSessionReadLink.h"
#include "snapshot/CSnapshotTaker.h"
#include "snapshot/LocalOrigin.h"

namespace {

// How often the LED states and preset names the sessions hold are looked at.
constexpr std::chrono::milliseconds kCheck{200};

double UnixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const char* ResultText(ISnapshotLink::Result result) {
    switch (result) {
    case ISnapshotLink::Result::Ok:
        return "ok";
    case ISnapshotLink::Result::NoResponse:
        return "no reply";
    case ISnapshotLink::Result::Refused:
        return "refused";
    case ISnapshotLink::Result::Cancelled:
        return "transfer broken off";
    }
    return "failed";
}

// The parts of the LED state that show the operator at work: the preset on air, its edits
// and compare, the markers and bypass. Meters and the meter view move on their own.
using LedKey = std::tuple<int, bool, bool, int, int, int, int>;

LedKey KeyOf(const CLedState& leds) {
    return {leds.current, leds.change, leds.compare, leds.tr, leds.dp, leds.def, leds.bypass};
}

} // namespace

struct CHistoryKeeper::Watch {
    CProcessorSession* session = nullptr;
    int lockCode = 0;
    std::optional<CLedState> leds; // the last one looked at, while up
    bool wasUp = false;
    std::vector<std::string> seenNames;

    bool busy = false;    // a snapshot is being taken
    bool storing = false; // a snapshot is with the store
    bool changePending = false;
    bool wantPresets = false;
    Clock::time_point firstChange;
    Clock::time_point lastChange;
    Clock::time_point nextParameters;
    Clock::time_point retryAt;
    std::optional<Clock::time_point> storeRetryAt;

    std::shared_ptr<const Snapshot> last; // the last snapshot taken
    std::optional<std::chrono::system_clock::time_point> lastPresets;
    HistoryStatus status;
};

struct CHistoryKeeper::Taken {
    bool full = false;
    CSnapshotTaker::Outcome outcome;
    Snapshot snapshot;
};

CHistoryKeeper::CHistoryKeeper(asio::io_context& io, const Options& options,
                               std::vector<CProcessorSession*> sessions, std::vector<int> lockCodes)
    : m_io(io), m_options(options), m_timer(io),
      m_store(std::make_unique<CHistoryStore>(options.folder, options.git)) {
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        auto w = std::make_unique<Watch>();
        w->session = sessions[i];
        w->lockCode = i < lockCodes.size() ? lockCodes[i] : 0;
        m_watches.push_back(std::move(w));
    }
    const std::size_t workers = std::min(kWorkers, std::max<std::size_t>(sessions.size(), 1));
    for (std::size_t i = 0; i < workers; ++i) {
        m_workers.push_back(std::make_unique<CIoThread>());
    }
}

CHistoryKeeper::~CHistoryKeeper() {
    m_stop = true;
    m_alive.reset();
    m_sessionsAlive.reset();
    m_timer.cancel();
    for (auto& worker : m_workers) {
        worker->Stop();
    }
    m_storeThread.Run([this] { m_store.reset(); });
    m_storeThread.Stop();
}

CHistoryLock::Outcome CHistoryKeeper::Lock(std::string& error) {
    CHistoryLock::Outcome outcome = CHistoryLock::Outcome::Failed;
    m_storeThread.Run([&] { outcome = m_store->Lock(error); });
    return outcome;
}

void CHistoryKeeper::Start() {
    const auto now = Clock::now();
    for (auto& w : m_watches) {
        w->nextParameters = now + m_options.interval;
    }
    m_timer.expires_after(kCheck);
    m_timer.async_wait([this](const std::error_code& ec) {
        if (!ec) {
            Tick();
        }
    });
}

void CHistoryKeeper::Stop() {
    m_stopped = true;
    m_stop = true;
    m_timer.cancel();
}

HistoryStatus CHistoryKeeper::StatusOf(std::size_t index) const {
    return index < m_watches.size() ? m_watches[index]->status : HistoryStatus{};
}

std::chrono::system_clock::time_point
CHistoryKeeper::NextDaily(std::chrono::system_clock::time_point after, int hour, int minute) {
    const std::time_t t = std::chrono::system_clock::to_time_t(after);
    std::tm local{};
    localtime_r(&t, &local);
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = 0;
    local.tm_isdst = -1; // whatever daylight saving time says on that day
    auto next = std::chrono::system_clock::from_time_t(std::mktime(&local));
    for (int day = 1; next <= after && day <= 2; ++day) {
        std::tm tomorrow{};
        localtime_r(&t, &tomorrow);
        tomorrow.tm_mday += day;
        tomorrow.tm_hour = hour;
        tomorrow.tm_min = minute;
        tomorrow.tm_sec = 0;
        tomorrow.tm_isdst = -1;
        next = std::chrono::system_clock::from_time_t(std::mktime(&tomorrow));
    }
    return next;
}

void CHistoryKeeper::NoteChange(Watch& w, bool presets, Clock::time_point now) {
    if (!w.changePending) {
        w.firstChange = now;
    }
    w.changePending = true;
    w.lastChange = now;
    w.wantPresets = w.wantPresets || presets;
}

void CHistoryKeeper::Observe(Watch& w, Clock::time_point now) {
    CProcessorSession& session = *w.session;
    if (!session.Up() || !session.Leds()) {
        if (w.wasUp && w.last) {
            // Whatever happened while it was away is read when it is back.
            NoteChange(w, false, now);
        }
        w.wasUp = false;
        w.leds.reset();
        return;
    }
    w.wasUp = true;
    const CLedState& leds = *session.Leds();
    if (w.leds && KeyOf(*w.leds) != KeyOf(leds)) {
        NoteChange(w, CProcessorSession::PresetsWereEdited(*w.leds, leds), now);
    }
    w.leds = leds;
    // The session reads the names on connect, every few minutes and after preset work; a
    // list with a name not read yet is no news.
    const auto& names = session.PresetNames();
    bool complete = !names.empty();
    for (const auto& name : names) {
        complete = complete && !name.empty();
    }
    if (complete && names != w.seenNames) {
        if (!w.seenNames.empty()) {
            NoteChange(w, true, now);
        }
        w.seenNames = names;
    }
}

void CHistoryKeeper::Tick() {
    if (m_stopped) {
        return;
    }
    const auto now = Clock::now();
    const auto wall = std::chrono::system_clock::now();
    for (std::size_t i = 0; i < m_watches.size(); ++i) {
        Watch& w = *m_watches[i];
        Observe(w, now);
        if (w.storeRetryAt && now >= *w.storeRetryAt && !w.storing && w.last) {
            w.storeRetryAt.reset();
            SendToStore(i);
        }
        if (w.busy || !w.leds || now < w.retryAt) {
            continue;
        }
        const bool settled = w.changePending && (now - w.lastChange >= m_options.settle ||
                                                 now - w.firstChange >= m_options.longestWait);
        const bool presetsDue =
            w.lastPresets &&
            wall >= NextDaily(*w.lastPresets, m_options.presetsHour, m_options.presetsMinute);
        bool full = !w.last || presetsDue || (settled && w.wantPresets);
        const bool due = full || settled || now >= w.nextParameters;
        if (!due) {
            continue;
        }
        // Reading a preset ends compare on the processor: the presets wait until it is over.
        if (full && w.leds->compare) {
            if (!w.last) {
                continue;
            }
            full = false;
        }
        Launch(i, full);
    }
    m_timer.expires_after(kCheck);
    m_timer.async_wait([this](const std::error_code& ec) {
        if (!ec) {
            Tick();
        }
    });
}

SnapshotOrigin CHistoryKeeper::Origin(const Watch& w) const {
    return LocalOrigin::Now(m_options.program, w.session->Target().Address());
}

void CHistoryKeeper::Launch(std::size_t index, bool full) {
    Watch& w = *m_watches[index];
    w.busy = true;
    // Changes from here on are read by the next snapshot.
    w.changePending = false;
    if (full) {
        w.wantPresets = false;
    }
    auto taken = std::make_shared<Taken>();
    taken->full = full;
    CIoThread& worker = *m_workers[index % m_workers.size()];
    asio::post(worker.Context(),
               [this, index, taken, previous = w.last, session = w.session, lockCode = w.lockCode,
                origin = Origin(w), sessionsAlive = std::weak_ptr<const char>(m_sessionsAlive),
                alive = std::weak_ptr<char>(m_alive)] {
                   if (m_stop) {
                       return;
                   }
                   CSessionReadLink link(m_io, *session, sessionsAlive, lockCode, m_stop);
                   CSnapshotTaker taker(link);
                   taken->outcome = taken->full || !previous
                                        ? taker.Take(origin, taken->snapshot)
                                        : taker.TakeParameters(origin, *previous, taken->snapshot);
                   if (m_stop) {
                       return;
                   }
                   asio::post(m_io, [this, index, taken, alive] {
                       if (!alive.expired()) {
                           OnTaken(index, taken);
                       }
                   });
               });
}

void CHistoryKeeper::Problem(Watch& w, const std::string& text) {
    // Once per problem, not at every retry.
    if (w.status.problem != text) {
        std::cerr << "solvei-exporter: history of " << w.session->Name() << ": " << text
                  << std::endl;
    }
    w.status.problem = text;
}

void CHistoryKeeper::OnTaken(std::size_t index, const std::shared_ptr<Taken>& taken) {
    Watch& w = *m_watches[index];
    w.busy = false;
    const auto now = Clock::now();
    if (taken->outcome.result != ISnapshotLink::Result::Ok && w.leds && w.leds->compare &&
        taken->full) {
        // The processor began to compare while its presets were read: they wait until it
        // is over, which is no failure.
        NoteChange(w, true, now);
        return;
    }
    if (taken->outcome.result != ISnapshotLink::Result::Ok) {
        ++w.status.snapshotFailures;
        const bool refused = taken->outcome.result == ISnapshotLink::Result::Refused &&
                             taken->outcome.failedStep == "Get Config";
        Problem(w, refused ? "the processor does not answer Get Config with lock code " +
                                 std::to_string(w.lockCode) + ": a wrong lock code?"
                           : "snapshot failed at " + taken->outcome.failedStep + ": " +
                                 ResultText(taken->outcome.result));
        w.retryAt = now + (refused ? m_options.refusedRetry : m_options.retry);
        // What was to be read is still to be read.
        NoteChange(w, taken->full, now);
        return;
    }
    const bool sameVersion = w.last && w.last->version == taken->snapshot.version;
    w.last = std::make_shared<const Snapshot>(std::move(taken->snapshot));
    if (taken->full || !sameVersion) {
        w.lastPresets = std::chrono::system_clock::now();
    }
    w.nextParameters = now + m_options.interval;
    w.status.lastSnapshotUnixSeconds = UnixNow();
    SendToStore(index);
}

void CHistoryKeeper::SendToStore(std::size_t index) {
    Watch& w = *m_watches[index];
    if (w.storing) {
        // The newest goes next, once the one with the store is done.
        w.storeRetryAt = Clock::now();
        return;
    }
    w.storing = true;
    asio::post(m_storeThread.Context(), [this, index, snapshot = w.last, name = w.session->Name(),
                                         alive = std::weak_ptr<char>(m_alive)] {
        auto outcome = std::make_shared<CHistoryStore::Outcome>(m_store->Store(name, *snapshot));
        asio::post(m_io, [this, index, outcome, alive] {
            if (alive.expired()) {
                return;
            }
            Watch& w = *m_watches[index];
            w.storing = false;
            switch (outcome->kind) {
            case CHistoryStore::Outcome::Kind::Failed:
                ++w.status.storeFailures;
                Problem(w, "cannot keep the snapshot: " + outcome->error);
                w.storeRetryAt = Clock::now() + m_options.retry;
                return;
            case CHistoryStore::Outcome::Kind::Committed:
                w.status.lastCommit = outcome->commit;
                std::cerr << "solvei-exporter: history of " << w.session->Name() << ": commit "
                          << outcome->commit.substr(0, 12) << " " << outcome->subject << std::endl;
                if (!outcome->first) {
                    ++w.status.changes;
                    w.status.lastChangeUnixSeconds = UnixNow();
                    w.status.lastChangeSubject = outcome->subject;
                    w.status.lastChangeLines = outcome->changes;
                }
                break;
            case CHistoryStore::Outcome::Kind::Unchanged:
                break;
            }
            if (!w.status.problem.empty()) {
                std::cerr << "solvei-exporter: history of " << w.session->Name() << ": stored again"
                          << std::endl;
            }
            w.status.problem.clear();
        });
    });
}
