#include "sim/COutbox.h"

void COutbox::Post(std::chrono::milliseconds after, std::function<void()> action) {
    if (after.count() <= 0 && m_queue.empty()) {
        action(); // the usual case: nothing waits, send at once
        return;
    }
    Clock::time_point due = Clock::now() + after;
    if (!m_queue.empty() && m_queue.back().due > due) {
        due = m_queue.back().due;
    }
    m_queue.push_back({due, std::move(action)});
    Arm();
}

void COutbox::Arm() {
    if (m_armed || m_queue.empty()) {
        return;
    }
    m_armed = true;
    m_timer.expires_at(m_queue.front().due);
    m_timer.async_wait([this](const std::error_code& ec) {
        m_armed = false;
        if (ec) {
            return;
        }
        const auto now = Clock::now();
        while (!m_queue.empty() && m_queue.front().due <= now) {
            auto action = std::move(m_queue.front().action);
            m_queue.pop_front();
            action();
        }
        Arm();
    });
}
