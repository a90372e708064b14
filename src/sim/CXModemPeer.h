#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/CXModem.h"

// The processor's side of an XModem transfer: 128-byte blocks with an 8-bit sum, started by
// the receiver's "C". Sending, it answers "C" or ACK with the next block and ends with EOT;
// receiving, it answers each block with ACK or NAK and ends on EOT. The protocol's bytes and
// sizes are the link's own, so both sides speak the same XModem.
class CXModemPeer {
public:
    static constexpr std::uint8_t kSoh = CXModem::kSoh;
    static constexpr std::uint8_t kEot = CXModem::kEot;
    static constexpr std::uint8_t kAck = CXModem::kAck;
    static constexpr std::uint8_t kNak = CXModem::kNak;
    static constexpr std::uint8_t kCan = CXModem::kCan;
    static constexpr std::uint8_t kStart = CXModem::kStart;
    static constexpr std::size_t kBlockSize = CXModem::kBlockSize;
    static constexpr std::size_t kDataSize = CXModem::kDataSize;

    enum class Mode { Idle, Sending, Receiving };
    enum class Outcome { Running, Complete, Cancelled };

    struct Step {
        std::vector<std::uint8_t> reply; // what to send back; empty: nothing
        Outcome outcome = Outcome::Running;
    };

    void StartSend(std::vector<std::uint8_t> data);
    void StartReceive();
    void Cancel();

    [[nodiscard]] Mode GetMode() const { return m_mode; }
    // Whether these bytes are a packet of the running transfer (and not a new command). After
    // a send ended, a lone ACK still is one: see m_eotAcked.
    [[nodiscard]] bool IsTransferPacket(std::span<const std::uint8_t> packet) const;
    // Length of the transfer packet at the start of the bytes: 0 when they do not start one,
    // -1 while incomplete.
    [[nodiscard]] int ExpectedLength(std::span<const std::uint8_t> bytes) const;

    Step OnPacket(std::span<const std::uint8_t> packet);

    // The data received so far (receive side), padding included.
    [[nodiscard]] const std::vector<std::uint8_t>& Received() const { return m_received; }

private:
    Step OnSendSide(std::uint8_t control);
    Step OnReceiveSide(std::span<const std::uint8_t> packet);
    [[nodiscard]] std::vector<std::uint8_t> Block(std::size_t index) const;
    [[nodiscard]] std::size_t BlockCount() const;

    Mode m_mode = Mode::Idle;
    std::vector<std::uint8_t> m_data;
    std::vector<std::uint8_t> m_received;
    // Send side: blocks already acknowledged, whether the current block has gone out, and
    // whether everything was sent and EOT is what is outstanding.
    std::size_t m_acked = 0;
    bool m_started = false;
    // A send ended on an ACK while its EOT was outstanding. The receiver repeats its last ACK
    // when an answer does not reach it, so that ACK may have been such a repetition and the EOT
    // lost: a further lone ACK, before any command, asks for the EOT again.
    bool m_eotAcked = false;
    // Receive side: the block number expected next (low 8 bits of a counter from 1).
    std::uint8_t m_expected = 1;
};
