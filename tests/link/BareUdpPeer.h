#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/ByteString.h"

// A UDP socket on a free port of 127.0.0.1 with no protocol of its own, standing in for the
// processor. Tests take each datagram and answer it by hand; benchmarks let it answer every
// datagram with the same bytes from a thread of its own.
class BareUdpPeer {
public:
    BareUdpPeer() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address = Loopback(0);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~BareUdpPeer() {
        if (answering_.joinable()) {
            stop_ = true;
            const int fd = ConnectedClient(); // a datagram wakes the answering thread
            const std::uint8_t wake = 0;
            ::send(fd, &wake, 1, 0);
            answering_.join();
            ::close(fd);
        }
        ::close(fd_);
    }
    BareUdpPeer(const BareUdpPeer&) = delete;
    BareUdpPeer& operator=(const BareUdpPeer&) = delete;

    [[nodiscard]] std::uint16_t Port() const { return port_; }

    // Waits up to limit for one datagram and remembers its sender for Reply.
    std::optional<ByteString> Receive(std::chrono::milliseconds limit) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(limit.count())) != 1) {
            return std::nullopt;
        }
        ByteString buffer(2048);
        socklen_t length = sizeof sender_;
        const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&sender_), &length);
        if (n < 0) {
            return std::nullopt;
        }
        buffer.resize(static_cast<std::size_t>(n));
        return buffer;
    }

    // One datagram to whoever sent the last one.
    void Reply(const ByteString& bytes) {
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sender_),
                 sizeof sender_);
    }

    // From now on every datagram is answered with reply, at once, until destruction.
    void AnswerEvery(ByteString reply) {
        answering_ = std::thread([this, reply = std::move(reply)] {
            std::uint8_t buffer[2048];
            for (;;) {
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0,
                                             reinterpret_cast<sockaddr*>(&from), &length);
                if (n < 0 || stop_) {
                    return;
                }
                ::sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
                         length);
            }
        });
    }

    // A socket connected to this peer (for a bare round trip); the caller closes it.
    [[nodiscard]] int ConnectedClient() const {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to = Loopback(port_);
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        return fd;
    }

private:
    static sockaddr_in Loopback(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    int fd_ = -1;
    std::uint16_t port_ = 0;
    sockaddr_in sender_{};
    std::atomic<bool> stop_{false};
    std::thread answering_;
};
