#include "sim/CUdpTransport.h"

#include <iostream>

#include <asio/buffer.hpp>

CUdpTransport::CUdpTransport(asio::io_context& io, CSimService& service)
    : m_socket(io), m_service(service), m_outbox(io),
      m_framer([this](std::span<const std::uint8_t> bytes) {
          return m_service.ExpectedRequestLength(bytes);
      }) {}

std::error_code CUdpTransport::Open(const asio::ip::udp::endpoint& local) {
    std::error_code ec;
    m_socket.open(local.protocol(), ec);
    if (!ec) {
        m_socket.bind(local, ec);
    }
    if (ec) {
        return ec;
    }
    Receive();
    return {};
}

asio::ip::udp::endpoint CUdpTransport::LocalEndpoint() const {
    std::error_code ec;
    return m_socket.local_endpoint(ec);
}

void CUdpTransport::Receive() {
    m_socket.async_receive_from(asio::buffer(m_buffer), m_sender,
                                [this](const std::error_code& ec, std::size_t size) {
                                    if (ec == asio::error::operation_aborted) {
                                        return;
                                    }
                                    if (!ec) {
                                        OnDatagram(size);
                                    }
                                    // Other errors (an ICMP "unreachable" from an earlier
                                    // send) concern one peer only: keep serving.
                                    Receive();
                                });
}

void CUdpTransport::OnDatagram(std::size_t size) {
    // A datagram never continues an earlier one.
    m_framer.Clear();
    m_framer.Append(std::span(m_buffer.data(), size), CRequestFramer::Clock::now());
    const auto peer = m_sender;
    while (auto request = m_framer.Next()) {
        for (auto& piece : m_service.Serve(*request)) {
            m_outbox.Post(piece.after, [this, peer, bytes = std::move(piece.bytes)] {
                std::error_code ignored;
                m_socket.send_to(asio::buffer(bytes), peer, 0, ignored);
            });
        }
    }
}
