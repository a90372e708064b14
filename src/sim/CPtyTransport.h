#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>

#include "sim/COutbox.h"
#include "sim/CRequestFramer.h"
#include "sim/CSimService.h"

// Serves the processor over a pseudo-terminal in raw mode, the stand-in for its serial port.
// A symbolic link gives the device a stable name. The simulator keeps the terminal side open
// itself, so the device stays usable while remotes come and go.
class CPtyTransport {
public:
    CPtyTransport(asio::io_context& io, CSimService& service);
    ~CPtyTransport();
    CPtyTransport(const CPtyTransport&) = delete;
    CPtyTransport& operator=(const CPtyTransport&) = delete;

    // Makes the terminal, links linkPath to it and starts reading; false with a message.
    bool Open(const std::string& linkPath, std::string& error);
    [[nodiscard]] const std::string& DevicePath() const { return m_device; }

private:
    void Read();
    void Write(std::vector<std::uint8_t> bytes);
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
};
