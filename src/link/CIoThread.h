#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

// One thread running one io_context for as long as this object lives. The link engine keeps
// its state, its timers and its channel's port or socket on it, so only that thread ever
// touches them.
class CIoThread {
public:
    CIoThread();
    // Stops the context and joins the thread.
    ~CIoThread();
    CIoThread(const CIoThread&) = delete;
    CIoThread& operator=(const CIoThread&) = delete;

    [[nodiscard]] asio::io_context& Context() { return io_; }
    // True on the thread itself, and once it has stopped (then nothing else runs there).
    [[nodiscard]] bool IsCurrent();
    // Runs fn on the thread and waits for it; runs it at once when called on that thread
    // itself (which must not wait on itself) or after the thread has stopped.
    void Run(const std::function<void()>& fn);
    // Runs fn at once on the thread itself, else queues it there without waiting.
    void Dispatch(std::function<void()> fn);
    // Lets the thread end and waits for it; pending handlers are dropped.
    void Stop();

    // How often the thread came back from waiting; a burst of ready handlers counts once.
    [[nodiscard]] std::uint64_t WakeupCount() const { return wakeups_.load(); }

private:
    void Loop();

    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    std::atomic<std::uint64_t> wakeups_{0};
    std::atomic<bool> stopped_{false};
    std::thread thread_;
};
