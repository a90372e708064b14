#include <arpa/inet.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include <asio/ip/address.hpp>

#include "link/LinkPacket.h"
#include "sim/CFaultInjector.h"
#include "sim/CProcessor.h"
#include "sim/CStateFile.h"
#include "support/RawTerminal.h"
#include "support/ScratchFolder.h"
#include "support/SimOnThread.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kDeadlineMs = 5000;
const Bytes kVersionReply{0x06, 0x80, '1', '2', '3', 0x1C};

// Reads from fd until the wanted number of bytes arrived or the deadline passed.
Bytes ReadBytes(int fd, std::size_t wanted) {
    Bytes bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
    while (bytes.size() < wanted && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        std::uint8_t buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
    }
    return bytes;
}

int UdpClient(unsigned short port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    return fd;
}

TEST(TransportTest, UdpAnswersEachDatagramToItsSender) {
    SimOnThread sim;
    ASSERT_FALSE(sim.udp.Open({asio::ip::make_address("127.0.0.1"), 0}));
    sim.Run();
    const int a = UdpClient(sim.udp.LocalEndpoint().port());
    const int b = UdpClient(sim.udp.LocalEndpoint().port());
    const Bytes version = BuildReadVersion();
    ASSERT_EQ(::send(a, version.data(), version.size(), 0), 2);
    ASSERT_EQ(::send(b, version.data(), version.size(), 0), 2);
    EXPECT_EQ(ReadBytes(a, 6), kVersionReply);
    EXPECT_EQ(ReadBytes(b, 6), kVersionReply);
    ::close(a);
    ::close(b);
}

TEST(TransportTest, UdpPresetDownloadSurvivesALostEot) {
    SimOnThread sim;
    ASSERT_FALSE(sim.udp.Open({asio::ip::make_address("127.0.0.1"), 0}));
    sim.Run();
    const int fd = UdpClient(sim.udp.LocalEndpoint().port());
    const auto send = [fd](const Bytes& bytes) {
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
    };
    const Bytes ack{0x06};
    const Bytes eot{0x04};
    send(BuildGetPreset(0));
    ASSERT_EQ(ReadBytes(fd, 4), Bytes({0x06, 0x85, 0x00, 0x8B}));
    send({'C'});
    ASSERT_EQ(ReadBytes(fd, 132).size(), 132u); // the preset fits one block
    send(ack);
    ASSERT_EQ(ReadBytes(fd, 1), eot);
    // The EOT never reached the application, which repeats its ACK until it gets an answer.
    // The first repetition reads as the EOT's acknowledgement; the next one must get the EOT.
    send(ack);
    send(ack);
    ASSERT_EQ(ReadBytes(fd, 1), eot);
    send(ack); // the EOT's real acknowledgement ends the transfer without an answer
    send(BuildReadVersion());
    EXPECT_EQ(ReadBytes(fd, 6), kVersionReply);
    EXPECT_FALSE(sim.processor.InTransfer());
    ::close(fd);
}

TEST(TransportTest, UdpSplitRepliesArriveInSeveralDatagrams) {
    CFaultInjector::Options faults;
    faults.split = true;
    SimOnThread sim(0, faults);
    ASSERT_FALSE(sim.udp.Open({asio::ip::make_address("127.0.0.1"), 0}));
    sim.Run();
    const int fd = UdpClient(sim.udp.LocalEndpoint().port());
    const Bytes leds = BuildReadLeds();
    ASSERT_EQ(::send(fd, leds.data(), leds.size(), 0), 2);
    Bytes joined;
    int datagrams = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
    while (joined.size() < 29 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            std::uint8_t buffer[64];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            joined.insert(joined.end(), buffer, buffer + std::max<ssize_t>(n, 0));
            ++datagrams;
        }
    }
    EXPECT_GE(datagrams, 2);
    ASSERT_EQ(joined.size(), 29u);
    EXPECT_TRUE(ChecksumOk(joined));
    ::close(fd);
}

TEST(TransportTest, PseudoTerminalJoinsRequestsThatArriveInPieces) {
    const ScratchFolder folder("solvei-sim-test");
    ASSERT_FALSE(folder.Path().empty());
    const std::string link = folder.File("serial");
    {
        SimOnThread sim;
        std::string error;
        ASSERT_TRUE(sim.pty.Open(link, error)) << error;
        ASSERT_TRUE(std::filesystem::is_symlink(link));
        sim.Run();

        const RawTerminal terminal(link);
        const int fd = terminal.Fd();
        ASSERT_GE(fd, 0);

        const Bytes read = BuildReadParameter(0, 0, 3);
        ASSERT_EQ(::write(fd, read.data(), 2), 2);
        ASSERT_EQ(::write(fd, read.data() + 2, read.size() - 2), ssize_t(read.size() - 2));
        const Bytes reply = ReadBytes(fd, 7);
        ASSERT_EQ(reply.size(), 7u);
        EXPECT_EQ(reply[1], 0x81);
        EXPECT_TRUE(ChecksumOk(reply));

        // Noise before a request is skipped; two requests in one write get two replies.
        Bytes burst{0x55, 0x99};
        const Bytes version = BuildReadVersion();
        burst.insert(burst.end(), version.begin(), version.end());
        burst.insert(burst.end(), version.begin(), version.end());
        ASSERT_EQ(::write(fd, burst.data(), burst.size()), ssize_t(burst.size()));
        Bytes twice = kVersionReply;
        twice.insert(twice.end(), kVersionReply.begin(), kVersionReply.end());
        EXPECT_EQ(ReadBytes(fd, 12), twice);
    }
    EXPECT_FALSE(std::filesystem::exists(link)); // the link goes with the simulator
}

TEST(StateFileTest, KeepsStateAndRejectsForeignFiles) {
    const ScratchFolder folder("solvei-sim-state");
    ASSERT_FALSE(folder.Path().empty());
    const std::string path = folder.File("state");
    CStateFile file(path);
    std::string error;
    EXPECT_FALSE(file.Load(error));
    EXPECT_TRUE(error.empty()); // no file yet is not an error

    CProcessor::State state;
    state.parameters = {{{0, 0, 0}, 12}, {{1, 2, 0}, 3}};
    state.presets = {{'A', 0, 1, 2}, {}};
    state.current = 5;
    state.bypass = true;
    ASSERT_TRUE(file.Save(state, error)) << error;
    const auto loaded = file.Load(error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->parameters, state.parameters);
    EXPECT_EQ(loaded->presets, state.presets);
    EXPECT_EQ(loaded->current, 5);
    EXPECT_TRUE(loaded->bypass);
    EXPECT_FALSE(loaded->ioView);

    for (const char* content : {"something else\n", "solvei-sim-state 1\nparam 1 2\n"}) {
        std::ofstream(path) << content;
        error.clear();
        EXPECT_FALSE(file.Load(error));
        EXPECT_FALSE(error.empty()) << content;
    }
}

} // namespace
