#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>

#include "sim/CLinePacer.h"
#include "sim/COutbox.h"
#include "sim/CRequestFramer.h"
#include "sim/CSimService.h"

// Serves the processor over a pseudo-terminal in raw mode, the stand-in for its serial port.
// A symbolic link gives the device a stable name. The simulator keeps the terminal side open
// itself, so the device stays usable while remotes come and go.
// With a baud rate both directions keep to that line rate, as a real serial port would: a
// reply leaves no faster than the rate allows, and a request is acted on only once the line
// would have carried all of it. Without one, bytes pass as fast as the terminal takes them.
class CPtyTransport {
public:
    // baud 0: not paced.
    CPtyTransport(asio::io_context& io, CSimService& service, int baud = 0);
    ~CPtyTransport();
    CPtyTransport(const CPtyTransport&) = delete;
    CPtyTransport& operator=(const CPtyTransport&) = delete;

    // Makes the terminal, links linkPath to it and starts reading; false with a message.
    bool Open(const std::string& linkPath, std::string& error);
    [[nodiscard]] const std::string& DevicePath() const { return m_device; }
    // Paced, reading stops while this many bytes wait to cross the line.
    static constexpr std::size_t kMaxInboundBacklog = 4096;

    // Bytes taken from and handed to the terminal so far (any thread may ask).
    [[nodiscard]] std::uint64_t BytesReceived() const { return m_received.load(); }
    [[nodiscard]] std::uint64_t BytesSent() const { return m_sent.load(); }

private:
    void Read();
    void Serve(std::span<const std::uint8_t> bytes);
    void Write(std::vector<std::uint8_t> bytes);
    void Emit(std::vector<std::uint8_t> bytes);
    void WriteNext();

    asio::posix::stream_descriptor m_master;
    CSimService& m_service;
    COutbox m_outbox;
    CRequestFramer m_framer;
    int m_terminal = -1;
    std::string m_device;
    std::string m_link;
    std::array<std::uint8_t, 1024> m_buffer{};
    std::deque<std::vector<std::uint8_t>> m_writes;
    std::unique_ptr<CLinePacer> m_inbound;  // none when not paced
    std::unique_ptr<CLinePacer> m_outbound; // none when not paced
    bool m_readPaused = false;
    std::atomic<std::uint64_t> m_received{0};
    std::atomic<std::uint64_t> m_sent{0};
};
