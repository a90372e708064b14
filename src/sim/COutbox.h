#pragma once

#include <chrono>
#include <deque>
#include <functional>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

// Runs send actions at their due times, in the order they were posted, on one timer.
class COutbox {
public:
    using Clock = std::chrono::steady_clock;

    explicit COutbox(asio::io_context& io) : m_timer(io) {}

    // Runs the action after the delay, never before an action posted earlier.
    void Post(std::chrono::milliseconds after, std::function<void()> action);

private:
    void Arm();

    struct Entry {
        Clock::time_point due;
        std::function<void()> action;
    };
    asio::steady_timer m_timer;
    std::deque<Entry> m_queue;
    bool m_armed = false;
};
