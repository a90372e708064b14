#include "sim/CXModemPeer.h"

#include <algorithm>

#include "sim/SimPacket.h"

void CXModemPeer::StartSend(std::vector<std::uint8_t> data) {
    m_mode = Mode::Sending;
    m_data = std::move(data);
    m_acked = 0;
    m_started = false;
    m_eotAcked = false;
}

void CXModemPeer::StartReceive() {
    m_mode = Mode::Receiving;
    m_eotAcked = false;
    m_received.clear();
    m_expected = 1;
}

void CXModemPeer::Cancel() {
    m_mode = Mode::Idle;
    m_eotAcked = false;
}

bool CXModemPeer::IsTransferPacket(std::span<const std::uint8_t> packet) const {
    if (packet.empty()) {
        return false;
    }
    const std::uint8_t b0 = packet[0];
    if (m_mode == Mode::Idle && m_eotAcked) {
        return packet.size() == 1 && b0 == kAck;
    }
    if (m_mode == Mode::Sending) {
        return packet.size() == 1 && (b0 == kStart || b0 == kAck || b0 == kNak || b0 == kCan);
    }
    if (m_mode == Mode::Receiving) {
        return (packet.size() == 1 && (b0 == kEot || b0 == kCan)) ||
               (packet.size() == kBlockSize && b0 == kSoh);
    }
    return false;
}

int CXModemPeer::ExpectedLength(std::span<const std::uint8_t> bytes) const {
    if (bytes.empty()) {
        return -1;
    }
    const std::uint8_t b0 = bytes[0];
    if (m_mode == Mode::Idle && m_eotAcked) {
        return b0 == kAck ? 1 : 0;
    }
    if (m_mode == Mode::Sending) {
        return (b0 == kStart || b0 == kAck || b0 == kNak || b0 == kCan) ? 1 : 0;
    }
    if (m_mode == Mode::Receiving) {
        if (b0 == kEot || b0 == kCan) {
            return 1;
        }
        if (b0 == kSoh) {
            return bytes.size() >= kBlockSize ? static_cast<int>(kBlockSize) : -1;
        }
    }
    return 0;
}

CXModemPeer::Step CXModemPeer::OnPacket(std::span<const std::uint8_t> packet) {
    if (m_mode == Mode::Idle && m_eotAcked && packet.size() == 1 && packet[0] == kAck) {
        // The ACK that ended the send was a repetition: the EOT is outstanding again.
        m_mode = Mode::Sending;
        m_eotAcked = false;
        return {{kEot}, Outcome::Running};
    }
    if (m_mode == Mode::Sending && packet.size() == 1) {
        return OnSendSide(packet[0]);
    }
    if (m_mode == Mode::Receiving) {
        return OnReceiveSide(packet);
    }
    return {};
}

std::size_t CXModemPeer::BlockCount() const {
    return (m_data.size() + kDataSize - 1) / kDataSize;
}

std::vector<std::uint8_t> CXModemPeer::Block(std::size_t index) const {
    std::vector<std::uint8_t> block(kBlockSize, 0);
    const auto number = static_cast<std::uint8_t>(index + 1);
    block[0] = kSoh;
    block[1] = number;
    block[2] = static_cast<std::uint8_t>(0xFF - number);
    const std::size_t begin = index * kDataSize;
    const std::size_t count = std::min(kDataSize, m_data.size() - begin);
    std::copy_n(m_data.begin() + static_cast<std::ptrdiff_t>(begin), count, block.begin() + 3);
    block[kBlockSize - 1] = Checksum(block, kBlockSize - 1);
    return block;
}

CXModemPeer::Step CXModemPeer::OnSendSide(std::uint8_t control) {
    // "C" asks for the current block again (the receiver's first request, or its repetition
    // when our answer was lost); ACK moves on; NAK repeats what is outstanding.
    if (control == kCan) {
        m_mode = Mode::Idle;
        return {{}, Outcome::Cancelled};
    }
    if (control == kAck && m_started) {
        if (m_acked == BlockCount()) {
            m_mode = Mode::Idle; // the EOT was acknowledged
            m_eotAcked = true;
            return {{}, Outcome::Complete};
        }
        ++m_acked;
    }
    m_started = true;
    if (m_acked < BlockCount()) {
        return {Block(m_acked), Outcome::Running};
    }
    return {{kEot}, Outcome::Running};
}

CXModemPeer::Step CXModemPeer::OnReceiveSide(std::span<const std::uint8_t> packet) {
    if (packet.size() == 1 && packet[0] == kEot) {
        m_mode = Mode::Idle;
        return {{kAck}, Outcome::Complete};
    }
    if (packet.size() == 1 && packet[0] == kCan) {
        m_mode = Mode::Idle;
        return {{}, Outcome::Cancelled};
    }
    if (packet.size() != kBlockSize || packet[0] != kSoh ||
        packet[2] != static_cast<std::uint8_t>(0xFF - packet[1])) {
        m_mode = Mode::Idle;
        return {{kCan}, Outcome::Cancelled};
    }
    if (!SimPacket::HasValidChecksum(packet)) {
        return {{kNak}, Outcome::Running};
    }
    if (!m_received.empty() && packet[1] == static_cast<std::uint8_t>(m_expected - 1)) {
        // The sender repeated a block whose ACK it did not get: acknowledge it again.
        return {{kAck}, Outcome::Running};
    }
    if (packet[1] != m_expected) {
        m_mode = Mode::Idle;
        return {{kCan}, Outcome::Cancelled};
    }
    m_received.insert(m_received.end(), packet.begin() + 3, packet.end() - 1);
    ++m_expected;
    return {{kAck}, Outcome::Running};
}
