#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

// One direction of a serial line at a baud rate, 8N1 (ten bits a byte). Bytes handed to it
// come out to the deliver callback no earlier than a real line would have finished carrying
// them: each byte starts when the line is free (or when it is handed over, if later) and is
// out one byte time later. A pseudo-terminal has no line rate of its own; this is it.
// Bytes come out in small slices rather than one by one, so a fast rate costs few wake-ups;
// a slice is released when the last byte in it is due, never earlier.
class CLinePacer {
public:
    using Clock = std::chrono::steady_clock;
    using Deliver = std::function<void(std::vector<std::uint8_t>)>;

    // The slice the timer waits for: about this much line time, at least one byte.
    static constexpr auto kSlice = std::chrono::milliseconds(2);

    CLinePacer(asio::io_context& io, int baud, Deliver deliver);
    CLinePacer(const CLinePacer&) = delete;
    CLinePacer& operator=(const CLinePacer&) = delete;

    // The time one byte takes on the line at this rate.
    [[nodiscard]] static Clock::duration ByteTime(int baud);
    // When each of count bytes handed over at now is out, given the time the line is free;
    // lineFree moves to the last of them.
    [[nodiscard]] static std::vector<Clock::time_point>
    DueTimes(int baud, Clock::time_point now, std::size_t count, Clock::time_point& lineFree);

    void Push(std::span<const std::uint8_t> bytes);
    // Bytes handed over and not yet out.
    [[nodiscard]] std::size_t Pending() const { return m_pending.size(); }

private:
    void Arm();
    void Release();

    struct Waiting {
        std::uint8_t byte;
        Clock::time_point due;
    };
    asio::steady_timer m_timer;
    int m_baud;
    Deliver m_deliver;
    std::size_t m_sliceBytes;
    std::deque<Waiting> m_pending;
    Clock::time_point m_lineFree{};
    bool m_armed = false;
};
