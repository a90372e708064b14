#include "sim/CLinePacer.h"

#include <algorithm>

CLinePacer::CLinePacer(asio::io_context& io, int baud, Deliver deliver)
    : m_timer(io), m_baud(baud), m_deliver(std::move(deliver)),
      m_sliceBytes(std::max<std::size_t>(1, kSlice / ByteTime(baud))) {}

CLinePacer::Clock::duration CLinePacer::ByteTime(int baud) {
    // Ten bits: start, eight data, stop; rounded up, so the line is never faster than its rate.
    const long long rate = std::max(baud, 1);
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds((10'000'000'000LL + rate - 1) / rate));
}

std::vector<CLinePacer::Clock::time_point> CLinePacer::DueTimes(int baud, Clock::time_point now,
                                                                std::size_t count,
                                                                Clock::time_point& lineFree) {
    std::vector<Clock::time_point> due;
    due.reserve(count);
    const Clock::time_point start = std::max(now, lineFree);
    const Clock::duration byteTime = ByteTime(baud);
    // Counted from the start of the run, so rounding does not add up byte by byte.
    for (std::size_t i = 1; i <= count; ++i) {
        due.push_back(start + byteTime * static_cast<Clock::rep>(i));
    }
    if (count > 0) {
        lineFree = due.back();
    }
    return due;
}

void CLinePacer::Push(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    const auto due = DueTimes(m_baud, Clock::now(), bytes.size(), m_lineFree);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        m_pending.push_back({bytes[i], due[i]});
    }
    Arm();
}

void CLinePacer::Arm() {
    if (m_armed || m_pending.empty()) {
        return;
    }
    // Wait for a slice, or for the last byte there is when fewer wait.
    const std::size_t last = std::min(m_sliceBytes, m_pending.size()) - 1;
    m_armed = true;
    m_timer.expires_at(m_pending[last].due);
    m_timer.async_wait([this](const std::error_code& ec) {
        if (ec) {
            return; // the pacer is going
        }
        m_armed = false;
        Release();
        Arm();
    });
}

void CLinePacer::Release() {
    const auto now = Clock::now();
    std::vector<std::uint8_t> out;
    while (!m_pending.empty() && m_pending.front().due <= now) {
        out.push_back(m_pending.front().byte);
        m_pending.pop_front();
    }
    if (!out.empty()) {
        m_deliver(std::move(out));
    }
}
