// The simulator's serial side kept to a baud rate: the line timing itself, the command line,
// and replies over a real pseudo-terminal that cannot come faster than the line carries them.
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "link/LinkPacket.h"
#include "sim/CLinePacer.h"
#include "sim/CSimOptions.h"
#include "support/RawTerminal.h"
#include "support/ScratchFolder.h"
#include "support/SimOnThread.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

TEST(LinePacingTest, EachByteIsOutOneByteTimeAfterTheLineIsFree) {
    struct Case {
        int baud;
        milliseconds lineFreeIn; // from now; negative: free since then
        std::size_t count;
        std::vector<milliseconds> due; // from now
    };
    const std::vector<Case> cases = {
        {1000, milliseconds(-50), 3, {milliseconds(10), milliseconds(20), milliseconds(30)}},
        {1000, milliseconds(25), 2, {milliseconds(35), milliseconds(45)}}, // behind a reply
        {100, milliseconds(0), 1, {milliseconds(100)}},
        {1000, milliseconds(7), 0, {}}, // nothing handed over leaves the line as it was
    };
    const Clock::time_point now = Clock::now();
    for (const auto& c : cases) {
        Clock::time_point lineFree = now + c.lineFreeIn;
        const auto due = CLinePacer::DueTimes(c.baud, now, c.count, lineFree);
        ASSERT_EQ(due.size(), c.due.size()) << c.baud << " baud, " << c.count << " bytes";
        for (std::size_t i = 0; i < due.size(); ++i) {
            EXPECT_EQ(due[i] - now, c.due[i]) << c.baud << " baud, byte " << i;
        }
        EXPECT_EQ(lineFree, c.due.empty() ? now + c.lineFreeIn : now + c.due.back());
    }
    // Rounded up where the rate does not divide a second: never faster than the rate.
    EXPECT_EQ(CLinePacer::ByteTime(19200), nanoseconds(520834));
    EXPECT_EQ(CLinePacer::ByteTime(9600), nanoseconds(1041667));
    EXPECT_GE(CLinePacer::ByteTime(19200) * 19200, std::chrono::seconds(10));
}

TEST(LinePacingTest, BaudOptionTakesSensibleRatesWithAPseudoTerminal) {
    std::string error;
    auto o = CSimOptions::Parse({"--pty", "/tmp/x", "--baud", "19200"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->baud, 19200);
    o = CSimOptions::Parse({"--pty", "/tmp/x"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->baud, 0); // not paced unless asked

    const std::vector<std::vector<std::string>> bad = {
        {"--pty", "/x", "--baud", "0"},
        {"--pty", "/x", "--baud", "-9600"},
        {"--pty", "/x", "--baud", "49"},
        {"--pty", "/x", "--baud", "4000001"},
        {"--pty", "/x", "--baud", "fast"},
        {"--pty", "/x", "--baud", "9600.5"},
        {"--pty", "/x", "--baud", ""},
        {"--pty", "/x", "--baud"},
        {"--udp", "127.0.0.1:0", "--baud", "19200"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(CSimOptions::Parse(args, error)) << args.back();
        EXPECT_NE(error.find("--baud"), std::string::npos) << error;
    }
}

TEST(LinePacingTest, RepliesComeNoFasterThanTheLineCarriesBothWays) {
    constexpr int kBaud = 1200; // 8.3 ms a byte
    const auto byteTime = CLinePacer::ByteTime(kBaud);
    const ScratchFolder folder("solvei-sim-pace");
    ASSERT_FALSE(folder.Path().empty());
    const std::string link = folder.File("serial");
    {
        SimOnThread sim(kBaud);
        std::string error;
        ASSERT_TRUE(sim.pty.Open(link, error)) << error;
        sim.Run();
        const RawTerminal terminal(link);
        const int fd = terminal.Fd();
        ASSERT_GE(fd, 0);

        struct Case {
            const char* what;
            Bytes request;
            std::size_t replyLength;
        };
        const std::vector<Case> cases = {
            {"Read Version", BuildReadVersion(), 6},
            {"Read Leds State", BuildReadLeds(), 29},
        };
        std::uint64_t wire = 0;
        for (const auto& c : cases) {
            const auto sent = Clock::now();
            ASSERT_EQ(::write(fd, c.request.data(), c.request.size()), ssize_t(c.request.size()));
            Bytes reply;
            Clock::time_point first{};
            const auto deadline = sent + std::chrono::seconds(10);
            while (reply.size() < c.replyLength && Clock::now() < deadline) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0) {
                    continue;
                }
                std::uint8_t buffer[64];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    if (reply.empty()) {
                        first = Clock::now();
                    }
                    reply.insert(reply.end(), buffer, buffer + n);
                }
            }
            const auto last = Clock::now();
            ASSERT_EQ(reply.size(), c.replyLength) << c.what;
            EXPECT_TRUE(ChecksumOk(reply)) << c.what;
            // The request is acted on once all of it crossed the line, and the reply's first
            // byte needs its own byte time: lower bounds only, a loaded machine is only slower.
            const auto requestTime = byteTime * static_cast<long>(c.request.size());
            EXPECT_GE(first - sent, requestTime + byteTime) << c.what;
            EXPECT_GE(last - sent, requestTime + byteTime * static_cast<long>(c.replyLength))
                << c.what;
            wire += c.request.size() + c.replyLength;
        }
        EXPECT_EQ(sim.pty.BytesReceived() + sim.pty.BytesSent(), wire);
    }
}

// A remote that writes faster than the line carries is held back, as behind a real port:
// the simulator stops taking bytes rather than queue them without end.
TEST(LinePacingTest, AWriterFasterThanTheLineIsHeldBack) {
    const ScratchFolder folder("solvei-sim-hold");
    ASSERT_FALSE(folder.Path().empty());
    const std::string link = folder.File("serial");
    constexpr std::size_t kFlood = 1 << 20;
    std::size_t written = 0;
    {
        SimOnThread sim(1200);
        std::string error;
        ASSERT_TRUE(sim.pty.Open(link, error)) << error;
        sim.Run();
        RawTerminal terminal(link, O_NONBLOCK);
        const int fd = terminal.Fd();
        ASSERT_GE(fd, 0);
        const Bytes noise(4096, 0x00); // no request starts with it
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (written < kFlood && Clock::now() < deadline) {
            const ssize_t n = ::write(fd, noise.data(), noise.size());
            if (n > 0) {
                written += std::size_t(n);
                continue;
            }
            // Taken at 120 bytes a second, the terminal stays full for seconds once it is.
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 300) == 0) {
                break;
            }
        }
        terminal.Close();
        // What the terminal buffers and the simulator's own backlog, far below the flood.
        EXPECT_LT(sim.pty.BytesReceived(), 16 * 1024u);
    }
    EXPECT_LT(written, kFlood);
}

} // namespace
