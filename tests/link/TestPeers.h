#pragma once

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "link/ByteString.h"
#include "link/CConnectionSettings.h"

// The far end of a real transport, driven by the test thread: it reads what the link sent
// and writes what a processor would answer.
class TestPeer {
public:
    virtual ~TestPeer() = default;
    // Points the settings at this peer.
    virtual void Configure(CConnectionSettings& settings) = 0;
    // Reads exactly count bytes (one datagram of that size over UDP) or gives up.
    virtual std::optional<ByteString> Read(std::size_t count) = 0;
    virtual void Write(const ByteString& bytes) = 0;

    static constexpr int kLimitMs = 20000;
};

// A UDP socket on 127.0.0.1 that answers whoever last wrote to it.
class UdpPeer : public TestPeer {
public:
    UdpPeer() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~UdpPeer() override { ::close(fd_); }

    void Configure(CConnectionSettings& settings) override {
        settings.serial = 0;
        settings.portName = "TCP";
        settings.host = "127.0.0.1";
        settings.port = port_;
    }

    std::optional<ByteString> Read(std::size_t count) override {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, kLimitMs) != 1) {
            return std::nullopt;
        }
        ByteString buffer(2048);
        socklen_t length = sizeof client_;
        const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&client_), &length);
        if (n < 0) {
            return std::nullopt;
        }
        buffer.resize(static_cast<std::size_t>(n));
        if (buffer.size() != count) {
            return buffer; // the caller's comparison shows the difference
        }
        return buffer;
    }

    void Write(const ByteString& bytes) override {
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&client_),
                 sizeof client_);
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
    sockaddr_in client_{};
};

// A pseudo-terminal: the link opens the slave by its path, the test holds the master.
class PtyPeer : public TestPeer {
public:
    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(master_);
        ::unlockpt(master_);
        slavePath_ = ::ptsname(master_);
        // Raw both ways, so every byte value passes unchanged.
        const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::close(slave);
    }
    ~PtyPeer() override { ::close(master_); }

    [[nodiscard]] const std::string& SlavePath() const { return slavePath_; }

    void Configure(CConnectionSettings& settings) override {
        settings.serial = 1;
        settings.portName = slavePath_;
    }

    std::optional<ByteString> Read(std::size_t count) override {
        ByteString got;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{master_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) != 1) {
                return std::nullopt;
            }
            std::uint8_t buffer[512];
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) {
                return std::nullopt;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    void Write(const ByteString& bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

private:
    int master_ = -1;
    std::string slavePath_;
};
