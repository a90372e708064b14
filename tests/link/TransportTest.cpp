#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>

#include <sys/file.h>
#include <sys/ioctl.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingListener.h"
#include "TestPeers.h"
#include "link/CConnectionSettings.h"
#include "link/CEthernetChannel.h"
#include "link/CIoThread.h"
#include "link/CLinkEngine.h"
#include "link/CSerialChannel.h"
#include "link/CSerialPort.h"
#include "link/CUdpClient.h"
#include "link/IChannelSink.h"
#include "link/LinkPacket.h"

namespace {

ByteString Ack(std::initializer_list<std::uint8_t> body) {
    ByteString reply{0x06};
    reply.insert(reply.end(), body);
    reply.push_back(Checksum(reply));
    return reply;
}

ByteString LedReply() {
    ByteString reply{0x06, 0x82};
    for (int i = 0; i < 26; ++i) {
        reply.push_back(static_cast<std::uint8_t>(0xE0 + i)); // high byte values pass too
    }
    reply.push_back(Checksum(reply));
    return reply;
}

ByteString XBlock(std::uint8_t number, const ByteString& data) {
    ByteString block{0x01, number, static_cast<std::uint8_t>(0xFF - number)};
    block.insert(block.end(), data.begin(), data.end());
    block.resize(131, 0x00);
    block.push_back(Checksum(block));
    return block;
}

enum class Transport { Udp, Pty };
void PrintTo(Transport t, std::ostream* os) {
    *os << (t == Transport::Udp ? "Udp" : "Pty");
}

// The whole link against a small processor on a real transport, played by the test thread.
class LinkOverTransport : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override {
        if (GetParam() == Transport::Udp) {
            peer = std::make_unique<UdpPeer>();
        } else {
            peer = std::make_unique<PtyPeer>();
        }
        settings.SetLinkDefaults();
        settings.replyTimeoutMs = 60000; // never expires by accident; the time-out test shortens it
        peer->Configure(settings);
    }

    void Connect() {
        engine = std::make_unique<CLinkEngine>(&listener, settings);
        engine->Connect();
        ASSERT_TRUE(listener.WaitFor("connected"));
    }

    void Expect(const ByteString& request) {
        auto got = peer->Read(request.size());
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, request);
    }

    CConnectionSettings settings;
    RecordingListener listener;
    std::unique_ptr<TestPeer> peer;
    std::unique_ptr<CLinkEngine> engine;
};

TEST_P(LinkOverTransport, Exchange) {
    Connect();
    engine->ReadParameter(0x10, 0x20, 0x30);
    Expect(BuildReadParameter(0x10, 0x20, 0x30));
    peer->Write(Ack({0x81, 0xFF, 0x00, 0x15, 0x06}));
    ASSERT_TRUE(listener.WaitFor("parameter"));
    EXPECT_EQ(static_cast<unsigned>(listener.Events("parameter").front().n), 0x061500FFu);
}

TEST_P(LinkOverTransport, WriteQueuedBehindAPoll) {
    Connect();
    engine->SetPolling(true);
    Expect(BuildReadLeds());
    engine->WriteParameter(1, 2, 3, 4);
    engine->SetPolling(false);
    peer->Write(LedReply());
    Expect(BuildWriteParameter(1, 2, 3, 4));
    ASSERT_TRUE(listener.WaitFor("leds"));
    EXPECT_EQ(listener.Events("leds").front().data, LedReply());
    EXPECT_EQ(listener.LogCount("Uncaching Packet"), 1u);
    peer->Write(Ack({0x01, 1, 2, 3, 4}));
    ASSERT_TRUE(listener.WaitUntilUnlocked([&] { return engine->IsState(LinkState::Idle); }));
}

TEST_P(LinkOverTransport, RefusalThenSuccess) {
    Connect();
    engine->ReadVersion();
    Expect(BuildReadVersion());
    peer->Write({0x15});
    Expect(BuildReadVersion());
    peer->Write(Ack({0x80, '2', '.', '1'}));
    ASSERT_TRUE(listener.WaitFor("version"));
    EXPECT_EQ(listener.Events("version").front().text, "2.1");
    EXPECT_EQ(listener.LogCount("Try: 1"), 1u);
    ASSERT_TRUE(listener.WaitUntilUnlocked([&] { return engine->IsState(LinkState::Idle); }));
    EXPECT_EQ(engine->Tries(), 0);
}

TEST_P(LinkOverTransport, SilentProcessor) {
    settings.replyTimeoutMs = 30;
    Connect();
    engine->MetersFlip();
    for (int i = 0; i < 10; ++i) {
        Expect(BuildMetersFlip());
    }
    ASSERT_TRUE(listener.WaitFor("disconnected"));
    EXPECT_EQ(listener.LogCount("Too many tries. Disconnecting."), 1u);
    EXPECT_EQ(listener.LogCount("Try: 10"), 1u);
    EXPECT_FALSE(engine->IsConnected());
}

TEST_P(LinkOverTransport, XModemReceive) {
    Connect();
    engine->GetConfig(7);
    Expect(BuildGetConfig(7));
    peer->Write(Ack({0x83}));
    Expect({'C'});
    ByteString expected;
    for (int i = 1; i <= 3; ++i) {
        ByteString data(128);
        for (std::size_t j = 0; j < data.size(); ++j) {
            data[j] = static_cast<std::uint8_t>(i * 31 + j);
        }
        expected.insert(expected.end(), data.begin(), data.end());
        peer->Write(XBlock(static_cast<std::uint8_t>(i), data));
        Expect({0x06});
    }
    peer->Write({0x04});
    Expect({0x06});
    ASSERT_TRUE(listener.WaitFor("config"));
    EXPECT_EQ(listener.Events("config").front().data, expected);
}

TEST_P(LinkOverTransport, XModemSend) {
    Connect();
    ByteString data(300);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(255 - i);
    }
    engine->SendPreset(9, data);
    Expect(BuildSendPreset(9));
    peer->Write(Ack({0x02, 0x09}));
    for (int i = 0; i < 3; ++i) {
        const std::size_t from = i * 128;
        const std::size_t to = std::min<std::size_t>(300, from + 128);
        Expect(XBlock(static_cast<std::uint8_t>(i + 1),
                      ByteString(data.begin() + from, data.begin() + to)));
        peer->Write({0x06});
    }
    Expect({0x04});
    peer->Write({0x06});
    ASSERT_TRUE(listener.WaitFor("presetSent"));
    EXPECT_EQ(listener.Events("presetSent").front().n, 9);
    EXPECT_EQ(listener.Events("presetSent").front().data, data);
}

// A reply in pieces is delivered once, when its last byte is there; a reply with surplus
// bytes is taken at once over UDP and never over the serial line (the request is repeated).
TEST_P(LinkOverTransport, SplitRepliesAndSurplusBytes) {
    settings.replyTimeoutMs = 200;
    Connect();
    engine->ReadVersion();
    Expect(BuildReadVersion());
    const ByteString reply = Ack({0x80, 'a', 'b', 'c'});
    peer->Write(ByteString(reply.begin(), reply.begin() + 2));
    peer->Write(ByteString(reply.begin() + 2, reply.end()));
    ASSERT_TRUE(listener.WaitFor("version"));
    ASSERT_TRUE(listener.WaitUntilUnlocked([&] { return engine->IsState(LinkState::Idle); }));

    engine->ReadVersion();
    Expect(BuildReadVersion());
    ByteString withSurplus = reply;
    withSurplus.push_back(0x15);
    peer->Write(withSurplus);
    if (GetParam() == Transport::Udp) {
        ASSERT_TRUE(listener.WaitFor("version", 2));
    } else {
        Expect(BuildReadVersion()); // no delivery: repeated after the reply time-out
        EXPECT_EQ(listener.Count("version"), 1u);
        peer->Write(reply);
        ASSERT_TRUE(listener.WaitFor("version", 2));
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, LinkOverTransport,
                         ::testing::Values(Transport::Udp, Transport::Pty), [](const auto& info) {
                             return info.param == Transport::Udp ? "Udp" : "Pty";
                         });

// A byte left behind a reply in a datagram is dropped when the next request goes out.
TEST(LinkOverUdp, LeftoverBytesDoNotSpoilTheNextReply) {
    UdpPeer peer;
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    settings.replyTimeoutMs = 60000;
    peer.Configure(settings);
    RecordingListener listener;
    CLinkEngine engine(&listener, settings);
    engine.Connect();
    ASSERT_TRUE(listener.WaitFor("connected"));
    const ByteString reply = Ack({0x84, 0x03});
    for (int i = 1; i <= 3; ++i) {
        engine.GetFactoryPresetNumber();
        auto got = peer.Read(2);
        ASSERT_TRUE(got.has_value());
        ByteString withNoise = reply;
        withNoise.push_back(0x06);
        peer.Write(withNoise);
        ASSERT_TRUE(listener.WaitFor("factory", i));
        ASSERT_TRUE(listener.WaitUntilUnlocked([&] { return engine.IsState(LinkState::Idle); }));
    }
    EXPECT_EQ(listener.LogCount("Try: 1"), 0u);
}

// Records what a channel reports.
class RecordingSink : public IChannelSink {
public:
    void OnConnected() override { Add("connected"); }
    void OnDisconnected() override { Add("disconnected"); }
    void OnError(int code) override { Add("error " + std::to_string(code)); }
    void OnReceived(const ByteString& bytes) override { Add("received", bytes); }
    int ExpectedReplyLength(const ByteString& bytes) override {
        return ::ExpectedReplyLength(bytes);
    }
    std::vector<std::string> Reports() {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    std::vector<ByteString> Received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    // Waits until count reports have come in.
    bool WaitForReports(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(TestPeer::kLimitMs),
                                 [&] { return reports_.size() >= count; });
    }

private:
    void Add(const std::string& r, const ByteString& bytes = {}) {
        std::lock_guard lock(mutex_);
        reports_.push_back(r);
        if (r == "received") {
            received_.push_back(bytes);
        }
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> reports_;
    std::vector<ByteString> received_;
};

TEST(SerialChannel, PortHeldElsewhereFailsAndDoubleCloseReports) {
    PtyPeer pty;
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    pty.Configure(settings);

    CIoThread io;
    RecordingSink first;
    CSerialChannel holder(&first, io);
    holder.Open(settings);
    EXPECT_EQ(first.Reports(), std::vector<std::string>{"connected"});

    RecordingSink second;
    CSerialChannel other(&second, io);
    other.Open(settings);
    EXPECT_EQ(second.Reports(), std::vector<std::string>{"error -1"});
    EXPECT_EQ(CheckPort(pty.SlavePath()), 2);

    holder.Close();
    holder.Close();
    EXPECT_EQ(first.Reports(), (std::vector<std::string>{"connected", "disconnected", "error -2"}));
    // Given back, the port opens again.
    EXPECT_EQ(CheckPort(pty.SlavePath()), 0);
}

TEST(SerialPort, PortNamesAndCheckPort) {
    EXPECT_EQ(CSerialPort::DevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(CSerialPort::DevicePath("COM20"), "/dev/ttyS19");
    EXPECT_EQ(CSerialPort::DevicePath("/dev/pts/7"), "/dev/pts/7");
    for (const char* none : {"COM0", "COM", "COMx", "Ethernet", "TCP", ""}) {
        EXPECT_EQ(CSerialPort::DevicePath(none), "") << none;
    }
    EXPECT_EQ(CheckPort("/dev/no-such-serial-port"), 1);
    EXPECT_EQ(CheckPort("Ethernet"), 1);
    EXPECT_EQ(CheckPort("/dev/null"), -1); // exists, but is no serial line
    PtyPeer pty;
    EXPECT_EQ(CheckPort(pty.SlavePath()), 0);
}

// The name is looked up in the background; its failure is reported, and no connect follows.
TEST(EthernetChannel, UnresolvableHostIsReported) {
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    settings.host = "";
    settings.port = 1203;
    CIoThread io;
    RecordingSink sink;
    CEthernetChannel channel(&sink, io);
    channel.Open(settings);
    ASSERT_TRUE(sink.WaitForReports(1));
    const auto reports = sink.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.front().rfind("error ", 0), 0u);
    channel.Close();
    EXPECT_EQ(sink.Reports().back(), "disconnected");
}

// A receive that fails (a firewall's ICMP reject, a reset) ends that receive alone: the answer
// to the next request is still heard.
TEST(EthernetChannel, ReceivingGoesOnAfterAReceiveError) {
    const std::vector<std::error_code> errors = {
        asio::error::host_unreachable, asio::error::network_unreachable,
        asio::error::access_denied,    asio::error::connection_refused,
        asio::error::connection_reset, std::error_code(EPROTO, std::system_category()),
        asio::error::message_size,
    };
    const ByteString reply = Ack({0x80, '1', '2', '3'});
    for (const auto& error : errors) {
        SCOPED_TRACE(error.message());
        UdpPeer peer;
        CConnectionSettings settings;
        settings.SetLinkDefaults();
        peer.Configure(settings);
        CIoThread io;
        RecordingSink sink;
        CEthernetChannel channel(&sink, io);
        channel.Open(settings);
        ASSERT_TRUE(sink.WaitForReports(1));
        ASSERT_EQ(sink.Reports().front(), "connected");
        channel.Client()->FailPendingReceive(error);
        channel.Send(BuildReadVersion());
        ASSERT_TRUE(peer.Read(2).has_value());
        peer.Write(reply);
        ASSERT_TRUE(sink.WaitForReports(2));
        EXPECT_EQ(sink.Received(), std::vector<ByteString>{reply});
        channel.Close();
    }
}

// A name is looked up without holding anything up, and the link runs on its address.
TEST(LinkOverUdp, HostNameIsLookedUp) {
    UdpPeer peer;
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    settings.replyTimeoutMs = 60000;
    peer.Configure(settings);
    settings.host = "localhost";
    RecordingListener listener;
    CLinkEngine engine(&listener, settings);
    engine.Connect();
    ASSERT_TRUE(listener.WaitFor("connected"));
    engine.GetFactoryPresetNumber();
    auto got = peer.Read(2);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, BuildGetFactoryPresetNumber());
    peer.Write(Ack({0x84, 0x05}));
    ASSERT_TRUE(listener.WaitFor("factory"));
    EXPECT_EQ(listener.Events("factory").front().n, 5);
}

// A name that cannot be looked up is reported through the listener; the engine stays
// disconnected and a later connection works.
TEST(LinkOverUdp, FailedLookupIsReportedAndTheNextConnectWorks) {
    UdpPeer peer;
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    peer.Configure(settings);
    settings.host = "";
    RecordingListener listener;
    CLinkEngine engine(&listener, settings);
    engine.Connect();
    ASSERT_TRUE(listener.WaitFor("error"));
    EXPECT_NE(listener.Events("error").front().n, 0);
    EXPECT_FALSE(engine.IsConnected());
    EXPECT_EQ(listener.Count("connected"), 0u);
    peer.Configure(settings);
    engine.Connect();
    ASSERT_TRUE(listener.WaitFor("connected"));
}

// A failed read (an I/O error, the far end gone for a moment) ends that read alone.
TEST(SerialChannel, ReadingGoesOnAfterAReadError) {
    const std::vector<std::error_code> errors = {
        std::error_code(EIO, std::system_category()),
        asio::error::eof,
        std::error_code(EAGAIN, std::system_category()),
        std::error_code(EBADMSG, std::system_category()),
    };
    const ByteString reply = Ack({0x84, 0x02});
    for (const auto& error : errors) {
        SCOPED_TRACE(error.message());
        PtyPeer pty;
        CConnectionSettings settings;
        settings.SetLinkDefaults();
        pty.Configure(settings);
        CIoThread io;
        RecordingSink sink;
        CSerialChannel channel(&sink, io);
        channel.Open(settings);
        ASSERT_EQ(sink.Reports(), std::vector<std::string>{"connected"});
        channel.FailPendingRead(error);
        pty.Write(reply);
        ASSERT_TRUE(sink.WaitForReports(2));
        EXPECT_EQ(sink.Received(), std::vector<ByteString>{reply});
        channel.Close();
    }
}

// Send replaces the packet waiting for the line: while the line is held (here: a full
// pseudo-terminal), two sends leave only the second to follow the packet on the line.
TEST(SerialChannel, SendReplacesThePacketWaitingForTheLine) {
    PtyPeer pty;
    CConnectionSettings settings;
    settings.SetLinkDefaults();
    pty.Configure(settings);
    CIoThread io;
    RecordingSink sink;
    CSerialChannel channel(&sink, io);
    channel.Open(settings);
    ASSERT_EQ(sink.Reports(), std::vector<std::string>{"connected"});

    const ByteString onLine(1 << 20, 0x55); // far more than the terminal holds
    const ByteString first = BuildReadParameter(1, 2, 3);
    const ByteString second = BuildReadParameter(4, 5, 6);
    channel.Send(onLine);
    channel.Send(first);
    channel.Send(second);
    ByteString expected = onLine;
    expected.insert(expected.end(), second.begin(), second.end());
    auto got = pty.Read(expected.size());
    ASSERT_TRUE(got.has_value());
    EXPECT_TRUE(*got == expected) << "the replaced packet went out";
    // Nothing else is left waiting: the next packet is the next thing on the line.
    const ByteString third = BuildReadVersion();
    channel.Send(third);
    EXPECT_EQ(pty.Read(third.size()), third);
    channel.Close();
}

// Checking a port another program holds leaves it as it was: not switched to exclusive mode,
// which would lock its owner out of reopening it. A port the link holds is exclusive.
TEST(SerialPort, CheckingAPortHeldElsewhereLeavesItShared) {
    PtyPeer pty;
    const auto exclusive = [](int fd) {
        int on = -1;
        return ::ioctl(fd, TIOCGEXCL, &on) == 0 ? on : -1;
    };
    const int owner = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(owner, 0);
    ASSERT_EQ(::flock(owner, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(CheckPort(pty.SlavePath()), 2);
    EXPECT_EQ(exclusive(owner), 0);
    ::close(owner);

    asio::io_context context;
    CSerialPort port(context);
    ASSERT_EQ(port.Open(pty.SlavePath()), 0);
    const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other < 0) {
        EXPECT_EQ(errno, EBUSY); // refused: exclusive (root would have been let in)
        return;
    }
    EXPECT_EQ(exclusive(other), 1);
    port.Close();
    EXPECT_EQ(exclusive(other), 0);
    ::close(other);
}

} // namespace
