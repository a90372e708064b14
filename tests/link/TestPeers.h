#pragma once

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "BareUdpPeer.h"
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

// A bare UDP socket on 127.0.0.1 that answers whoever last wrote to it.
class UdpPeer : public TestPeer {
public:
    void Configure(CConnectionSettings& settings) override {
        settings.serial = 0;
        settings.portName = "TCP";
        settings.host = "127.0.0.1";
        settings.port = socket_.Port();
    }

    // One datagram, whatever its size: the caller's comparison shows a difference.
    std::optional<ByteString> Read(std::size_t) override {
        return socket_.Receive(std::chrono::milliseconds(kLimitMs));
    }

    void Write(const ByteString& bytes) override { socket_.Reply(bytes); }

private:
    BareUdpPeer socket_;
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
