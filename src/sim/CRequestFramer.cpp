#include "sim/CRequestFramer.h"

void CRequestFramer::Append(std::span<const std::uint8_t> bytes, Clock::time_point now) {
    if (!m_buffer.empty() && now - m_last > kStaleAfter) {
        m_buffer.clear();
    }
    m_last = now;
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

std::optional<std::vector<std::uint8_t>> CRequestFramer::Next() {
    while (!m_buffer.empty()) {
        const int length = m_rule(m_buffer);
        if (length < 0) {
            return std::nullopt;
        }
        if (length == 0) {
            m_buffer.erase(m_buffer.begin()); // not the start of anything: skip the byte
            continue;
        }
        std::vector<std::uint8_t> request(m_buffer.begin(), m_buffer.begin() + length);
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + length);
        return request;
    }
    return std::nullopt;
}
