#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// Cuts a byte stream (the serial line, or one datagram) into requests. The length of each
// request comes from the processor, whose expectation changes while a transfer runs, so the
// caller takes one request, hands it on, then asks for the next.
class CRequestFramer {
public:
    using Clock = std::chrono::steady_clock;
    // > 0 complete length, -1 incomplete, 0 no request starts here.
    using LengthRule = std::function<int(std::span<const std::uint8_t>)>;

    // A partial request older than this is line noise: the next bytes start afresh.
    static constexpr auto kStaleAfter = std::chrono::milliseconds(250);

    explicit CRequestFramer(LengthRule rule) : m_rule(std::move(rule)) {}

    void Append(std::span<const std::uint8_t> bytes, Clock::time_point now);
    [[nodiscard]] std::optional<std::vector<std::uint8_t>> Next();
    void Clear() { m_buffer.clear(); }
    [[nodiscard]] std::size_t Pending() const { return m_buffer.size(); }

private:
    LengthRule m_rule;
    std::vector<std::uint8_t> m_buffer;
    Clock::time_point m_last{};
};
