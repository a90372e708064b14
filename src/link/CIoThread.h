#pragma once

#include <functional>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

// One thread running one io_context for as long as this object lives. A channel keeps its
// port or socket on it, so only that thread ever touches them.
class CIoThread {
public:
    CIoThread();
    // Stops the context and joins the thread.
    ~CIoThread();
    CIoThread(const CIoThread&) = delete;
    CIoThread& operator=(const CIoThread&) = delete;

    [[nodiscard]] asio::io_context& Context() { return io_; }
    // Runs fn on the thread and waits for it; runs it at once when called on that thread
    // itself (which must not wait on itself) or after the thread has stopped.
    void Run(const std::function<void()>& fn);
    // Lets the thread end and waits for it; pending handlers are dropped.
    void Stop();

private:
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    std::thread thread_;
};
