#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "ctl/CLedState.h"
#include "exporter/CHistoryLock.h"
#include "exporter/HistoryStatus.h"
#include "link/CIoThread.h"
#include "snapshot/Snapshot.h"

class CHistoryStore;
class CProcessorSession;

// Keeps every processor's settings history in a git repository: takes snapshots over the
// sessions that already watch the processors (never a link of its own, never a write), and
// hands them to the store, which commits what changed. The parameters are read at the
// interval and soon after the LED state shows a change; the presets, whose reading costs
// transfers, once a day and after their names or the markers changed or edits were saved.
//
// Scheduling runs on the exporter's thread; snapshots are taken on worker threads (a snapshot
// waits for its replies, the polling never does) and commits on a thread of their own.
class CHistoryKeeper {
public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        std::string folder;
        std::chrono::milliseconds interval{std::chrono::minutes(15)};
        int presetsHour = 4; // local time of the daily preset reading
        int presetsMinute = 0;
        // A change is read once the LED state has been still this long (a fader ride makes one
        // snapshot), or at the latest this long after the change began.
        std::chrono::milliseconds settle{std::chrono::seconds(3)};
        std::chrono::milliseconds longestWait{std::chrono::seconds(60)};
        // After a snapshot or a commit failed; after a refused lock code much longer, as every
        // try costs the processor's link its tries.
        std::chrono::milliseconds retry{std::chrono::seconds(30)};
        std::chrono::milliseconds refusedRetry{std::chrono::hours(1)};
        std::string program = "solvei-exporter"; // who takes the snapshots, with its version
        std::string git = "git";
    };
    static constexpr std::size_t kWorkers = 2;

    // sessions: the fleet's, in their order; lockCodes: one per session.
    CHistoryKeeper(asio::io_context& io, const Options& options,
                   std::vector<CProcessorSession*> sessions, std::vector<int> lockCodes);
    // Call where io no longer runs (or on its thread).
    ~CHistoryKeeper();
    CHistoryKeeper(const CHistoryKeeper&) = delete;
    CHistoryKeeper& operator=(const CHistoryKeeper&) = delete;

    // Takes the folder's lock: refused (InUse) when another exporter keeps its history there.
    // A folder that cannot be used yet (not writable) is tried again at every snapshot.
    CHistoryLock::Outcome Lock(std::string& error);
    void Start();
    // Snapshots under way give up; no new ones start.
    void Stop();

    // On the io_context's thread.
    [[nodiscard]] HistoryStatus StatusOf(std::size_t index) const;

    // The local time of the first HH:MM strictly after after.
    [[nodiscard]] static std::chrono::system_clock::time_point
    NextDaily(std::chrono::system_clock::time_point after, int hour, int minute);

private:
    struct Watch;
    struct Taken;

    void Tick();
    void Observe(Watch& w, Clock::time_point now);
    void NoteChange(Watch& w, bool presets, Clock::time_point now);
    void Launch(std::size_t index, bool full);
    void OnTaken(std::size_t index, const std::shared_ptr<Taken>& taken);
    void SendToStore(std::size_t index);
    void Problem(Watch& w, const std::string& text);
    [[nodiscard]] SnapshotOrigin Origin(const Watch& w) const;

    asio::io_context& m_io;
    Options m_options;
    std::vector<std::unique_ptr<Watch>> m_watches;
    asio::steady_timer m_timer;
    std::atomic<bool> m_stop{false};
    bool m_stopped = false;
    std::shared_ptr<char> m_alive = std::make_shared<char>();
    std::shared_ptr<const char> m_sessionsAlive = std::make_shared<const char>();
    std::unique_ptr<CHistoryStore> m_store; // used on m_storeThread only
    // Last: they stop, and finish what runs on them, before the rest goes.
    CIoThread m_storeThread;
    std::vector<std::unique_ptr<CIoThread>> m_workers;
};
