#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include <asio/ip/udp.hpp>

#include "link/ByteString.h"
#include "link/CIoThread.h"
#include "link/CReplyAccumulator.h"

class IUdpClientSink;

// Exchanges datagrams with the processor. One thread runs the socket's io_context; it keeps
// a receive pending while connected and cuts each datagram into replies.
class CUdpClient {
public:
    enum class State { Idle = 0, Connect = 1, Receive = 2, Stop = 3 };

    explicit CUdpClient(IUdpClientSink* sink);
    ~CUdpClient();
    CUdpClient(const CUdpClient&) = delete;
    CUdpClient& operator=(const CUdpClient&) = delete;

    // Resolves the host (dotted IPv4 or a name with an IPv4 address) and creates the socket
    // here, reporting a failure at once; the socket's connect and its report follow on the
    // client's thread.
    void Connect(const std::string& host, std::uint16_t port);
    // One packet as one datagram. Bytes left from an earlier exchange are dropped first.
    void Send(const ByteString& bytes);
    // Closes the socket, waits until it is closed, then reports disconnected.
    void Close();

    [[nodiscard]] State GetState() const { return state_.load(); }

private:
    void StartReceive();

    IUdpClientSink* sink_;
    std::atomic<State> state_{State::Idle};
    CIoThread thread_;
    asio::ip::udp::socket socket_;
    asio::ip::udp::endpoint peer_;
    // Used on the client's thread only.
    CReplyAccumulator accumulator_;
    std::array<std::uint8_t, 260> receiveBuffer_{};
};
