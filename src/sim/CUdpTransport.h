#pragma once

#include <array>
#include <cstdint>
#include <system_error>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include "sim/COutbox.h"
#include "sim/CRequestFramer.h"
#include "sim/CSimService.h"

// Serves the processor over UDP: every datagram holds requests, and replies go back to the
// address the request came from.
class CUdpTransport {
public:
    CUdpTransport(asio::io_context& io, CSimService& service);

    // Binds the socket and starts receiving; port 0 picks a free port.
    std::error_code Open(const asio::ip::udp::endpoint& local);
    [[nodiscard]] asio::ip::udp::endpoint LocalEndpoint() const;

private:
    void Receive();
    void OnDatagram(std::size_t size);

    asio::ip::udp::socket m_socket;
    CSimService& m_service;
    COutbox m_outbox;
    CRequestFramer m_framer;
    std::array<std::uint8_t, 4096> m_buffer{};
    asio::ip::udp::endpoint m_sender;
};
