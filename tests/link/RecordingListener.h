#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/ILinkListener.h"

// Records every report of the engine; tests wait on a condition with a generous deadline.
class RecordingListener : public ILinkListener {
public:
    struct Event {
        std::string kind;
        int n = 0;
        ByteString data;
        std::string text;
    };

    void OnConnected() override { Add("connected"); }
    void OnDisconnected() override { Add("disconnected"); }
    void OnError(int code) override { Add("error", code); }
    void OnVersion(const std::string& text) override { Add("version", 0, {}, text); }
    void OnParameter(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4) override {
        Add("parameter", static_cast<int>(d1 | d2 << 8 | d3 << 16 | unsigned(d4) << 24));
    }
    void OnLeds(const ByteString& reply) override { Add("leds", 0, reply); }
    void OnConfig(const ByteString& data) override { Add("config", 0, data); }
    void OnFactoryPresetNumber(int n) override { Add("factory", n); }
    void OnPresetLoaded(int n) override { Add("loaded", n); }
    void OnBypass(int n) override { Add("bypass", n); }
    void OnPreset(int n, const ByteString& data) override { Add("preset", n, data); }
    void OnPresetSent(int n, const ByteString& data) override { Add("presetSent", n, data); }
    void OnTransferFailed(std::uint8_t command) override { Add("transferFailed", command); }
    void OnLog(const std::string& line) override {
        std::lock_guard lock(mutex_);
        logs_.push_back(line);
        changed_.notify_all();
    }

    // Waits until pred() holds (pred runs with the recording locked). It is checked again on
    // every report and every few milliseconds, for conditions on state other than reports.
    template <typename Pred> bool WaitUntil(Pred pred, std::chrono::seconds limit = kLimit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::unique_lock lock(mutex_);
        while (!pred()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            changed_.wait_for(lock, std::chrono::milliseconds(2));
        }
        return true;
    }
    // Waits until cond() holds; cond runs with the recording unlocked, so it may call into the
    // engine, which calls this listener with its own lock held.
    template <typename Cond>
    bool WaitUntilUnlocked(Cond cond, std::chrono::seconds limit = kLimit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!cond()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(2));
        }
        return true;
    }
    bool WaitFor(const std::string& kind, std::size_t count = 1) {
        return WaitUntil([&] { return CountLocked(kind) >= count; });
    }
    bool WaitForLog(const std::string& line, std::size_t count = 1) {
        return WaitUntil([&] { return LogCountLocked(line) >= count; });
    }
    bool WaitForLogStartingWith(const std::string& prefix) {
        return WaitUntil([&] {
            for (const auto& l : logs_) {
                if (l.rfind(prefix, 0) == 0) {
                    return true;
                }
            }
            return false;
        });
    }
    std::size_t Count(const std::string& kind) {
        std::lock_guard lock(mutex_);
        return CountLocked(kind);
    }
    std::size_t LogCount(const std::string& line) {
        std::lock_guard lock(mutex_);
        return LogCountLocked(line);
    }
    std::vector<Event> Events(const std::string& kind) {
        std::lock_guard lock(mutex_);
        std::vector<Event> out;
        for (const auto& e : events_) {
            if (e.kind == kind) {
                out.push_back(e);
            }
        }
        return out;
    }
    std::vector<std::string> Logs() {
        std::lock_guard lock(mutex_);
        return logs_;
    }

    static constexpr std::chrono::seconds kLimit{20};

    // Calls react with each later report, once it is recorded, on the engine's thread: a
    // listener may make requests from there. None stops it.
    void SetReaction(std::function<void(const Event&)> react) {
        std::lock_guard lock(mutex_);
        react_ = std::move(react);
    }

private:
    void Add(std::string kind, int n = 0, ByteString data = {}, std::string text = {}) {
        Event event{std::move(kind), n, std::move(data), std::move(text)};
        std::function<void(const Event&)> react;
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
            react = react_;
            changed_.notify_all();
        }
        if (react) {
            react(event);
        }
    }
    std::size_t CountLocked(const std::string& kind) const {
        std::size_t n = 0;
        for (const auto& e : events_) {
            n += e.kind == kind;
        }
        return n;
    }
    std::size_t LogCountLocked(const std::string& line) const {
        std::size_t n = 0;
        for (const auto& l : logs_) {
            n += l == line;
        }
        return n;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    std::vector<std::string> logs_;
    std::function<void(const Event&)> react_;
};
