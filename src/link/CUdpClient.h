#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include <asio/ip/udp.hpp>

#include "link/ByteString.h"
#include "link/CIoThread.h"
#include "link/CReplyAccumulator.h"

class IUdpClientSink;

// Exchanges datagrams with the processor. Its socket lives on the given I/O thread (the link
// engine's), which keeps a receive pending while connected and cuts each datagram into
// replies. Every report to the sink comes from that thread. Calls from another thread are
// carried over to it; Connect and Close wait for that, Send does not.
class CUdpClient {
public:
    enum class State { Idle = 0, Connect = 1, Receive = 2, Stop = 3 };

    CUdpClient(IUdpClientSink* sink, CIoThread& io);
    // Closes the socket without a report; handlers still queued find the client gone.
    ~CUdpClient();
    CUdpClient(const CUdpClient&) = delete;
    CUdpClient& operator=(const CUdpClient&) = delete;

    // Takes a dotted IPv4 address as it stands; a name is looked up without blocking the
    // thread. Reports connected once the socket is connected to the processor, or an error
    // when the name has no IPv4 address or the socket cannot be made or connected.
    void Connect(const std::string& host, std::uint16_t port);
    // One packet as one datagram. Bytes left from an earlier exchange are dropped first.
    void Send(const ByteString& bytes);
    // Closes the socket, waits until it is closed, then reports disconnected.
    void Close();

    [[nodiscard]] State GetState() const { return state_.load(); }

    // For tests: the pending receive completes with this error, as it does when a firewall
    // answers with an ICMP message (which the loopback cannot be made to send).
    void FailPendingReceive(const std::error_code& error);

private:
    void ConnectTo(const asio::ip::udp::endpoint& peer);
    void StartReceive();
    void OnReceive(std::error_code error, std::size_t size);
    void CloseSocket();

    IUdpClientSink* sink_;
    CIoThread& io_;
    std::atomic<State> state_{State::Idle};
    // Everything below is used on the I/O thread only.
    asio::ip::udp::socket socket_;
    asio::ip::udp::resolver resolver_;
    CReplyAccumulator accumulator_;
    std::array<std::uint8_t, 260> receiveBuffer_{};
    std::optional<std::error_code> injectedError_;
    // Handlers hold it weakly: one that runs after the client is gone does nothing.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};
