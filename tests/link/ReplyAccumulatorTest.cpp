#include <vector>

#include <gtest/gtest.h>

#include "link/CReplyAccumulator.h"
#include "link/LinkPacket.h"

namespace {

struct Cut {
    std::vector<ByteString> pieces;
    std::vector<ByteString> serial;   // replies the serial rule delivers
    std::vector<ByteString> datagram; // replies the UDP rule delivers
};

const ByteString kVersion{0x06, 0x80, 0x41, 0x42, 0x43, 0x4C};
const ByteString kDisconnectAck{0x06, 0x00, 0x06};

TEST(ReplyAccumulator, CutsLikeEachTransport) {
    const std::vector<Cut> cases = {
        {{kVersion}, {kVersion}, {kVersion}},
        {{{0x06, 0x80}, {0x41}, {0x42, 0x43, 0x4C}}, {kVersion}, {kVersion}},
        // A reply with surplus bytes: UDP splits it off, the serial line delivers nothing.
        {{{0x06, 0x00, 0x06, 0x15}}, {}, {kDisconnectAck}},
        // The surplus waits for the next datagram and joins it.
        {{{0x06, 0x00, 0x06, 0x06}, {0x00, 0x06}}, {}, {kDisconnectAck, kDisconnectAck}},
        {{{0x15}}, {{0x15}}, {{0x15}}},
        {{{0x15, 0x15}}, {{0x15, 0x15}}, {{0x15, 0x15}}},
        {{{0x06, 0x77, 0x00}}, {}, {}},
        // An empty datagram hands over whatever has gathered.
        {{{0x06, 0x80}, {}}, {}, {{0x06, 0x80}}},
        {{{}}, {}, {}},
    };
    const auto rule = [](const ByteString& b) { return ExpectedReplyLength(b); };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        CReplyAccumulator serial;
        CReplyAccumulator datagram;
        std::vector<ByteString> gotSerial;
        std::vector<ByteString> gotDatagram;
        for (const auto& piece : cases[i].pieces) {
            serial.AddSerial(piece.data(), piece.size(), rule,
                             [&](const ByteString& r) { gotSerial.push_back(r); });
            datagram.AddDatagram(piece.data(), piece.size(), rule,
                                 [&](const ByteString& r) { gotDatagram.push_back(r); });
        }
        EXPECT_EQ(gotSerial, cases[i].serial);
        EXPECT_EQ(gotDatagram, cases[i].datagram);
    }
}

TEST(ReplyAccumulator, ClearDropsLeftoversAndOverlongRunsAreDropped) {
    const auto rule = [](const ByteString& b) { return ExpectedReplyLength(b); };
    std::vector<ByteString> got;
    const auto deliver = [&](const ByteString& r) { got.push_back(r); };
    CReplyAccumulator acc;
    const ByteString noise{0x06};
    acc.AddSerial(noise.data(), noise.size(), rule, deliver);
    acc.Clear();
    acc.AddSerial(kVersion.data(), kVersion.size(), rule, deliver);
    EXPECT_EQ(got, std::vector<ByteString>{kVersion});

    // Junk that never makes a reply is dropped in bounded pieces and nothing of it delivered,
    // over either transport.
    const ByteString junk(4000, 0x33);
    CReplyAccumulator datagram;
    for (int i = 0; i < 40; ++i) {
        acc.AddSerial(junk.data(), junk.size(), rule, deliver);
        datagram.AddDatagram(junk.data(), junk.size(), rule, deliver);
        ASSERT_LE(acc.Bytes().size(), CReplyAccumulator::kMaxBytes);
        ASSERT_LE(datagram.Bytes().size(), CReplyAccumulator::kMaxBytes);
    }
    EXPECT_EQ(got, std::vector<ByteString>{kVersion});
}

} // namespace
