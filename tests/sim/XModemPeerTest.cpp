#include <vector>

#include <gtest/gtest.h>

#include "link/LinkPacket.h"
#include "sim/CXModemPeer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Outcome = CXModemPeer::Outcome;

Bytes Block(unsigned number, std::uint8_t fill) {
    Bytes block{0x01, std::uint8_t(number), std::uint8_t(0xFF - std::uint8_t(number))};
    block.resize(131, fill);
    block.push_back(Checksum(block));
    return block;
}

TEST(XModemPeerTest, SendsBlocksPaddedThenEot) {
    struct Case {
        std::size_t size;
        std::size_t blocks;
    };
    for (const Case c : {Case{300, 3}, Case{128, 1}, Case{0, 0}, Case{129, 2}}) {
        CXModemPeer peer;
        Bytes data(c.size);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = std::uint8_t(i * 7 + 1);
        }
        peer.StartSend(data);
        Bytes received;
        auto step = peer.OnPacket(Bytes{'C'});
        std::size_t blocks = 0;
        while (step.reply.size() == 132) {
            ++blocks;
            EXPECT_EQ(step.reply[1], blocks);
            EXPECT_TRUE(ChecksumOk(step.reply));
            received.insert(received.end(), step.reply.begin() + 3, step.reply.begin() + 131);
            step = peer.OnPacket(Bytes{0x06});
        }
        EXPECT_EQ(blocks, c.blocks) << c.size;
        EXPECT_EQ(step.reply, Bytes{0x04});
        EXPECT_EQ(peer.OnPacket(Bytes{0x06}).outcome, Outcome::Complete);
        ASSERT_EQ(received.size(), c.blocks * 128);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), received.begin()));
        EXPECT_TRUE(
            std::all_of(received.begin() + c.size, received.end(), [](auto b) { return b == 0; }));
    }
}

TEST(XModemPeerTest, RepeatsTheOutstandingBlockOnNakOrARepeatedStart) {
    CXModemPeer peer;
    peer.StartSend(Bytes(200, 0x55));
    const auto first = peer.OnPacket(Bytes{'C'}).reply;
    EXPECT_EQ(peer.OnPacket(Bytes{'C'}).reply, first);
    const auto second = peer.OnPacket(Bytes{0x06}).reply;
    EXPECT_EQ(second[1], 2);
    EXPECT_EQ(peer.OnPacket(Bytes{0x15}).reply, second);
    EXPECT_EQ(peer.OnPacket(Bytes{0x18}).outcome, Outcome::Cancelled);
    EXPECT_EQ(peer.GetMode(), CXModemPeer::Mode::Idle);
}

TEST(XModemPeerTest, AnAckAfterTheEndAsksForTheEotAgainUntilACommandCame) {
    CXModemPeer peer;
    peer.StartSend(Bytes(10, 0x33));
    ASSERT_EQ(peer.OnPacket(Bytes{'C'}).reply.size(), 132u);
    ASSERT_EQ(peer.OnPacket(Bytes{0x06}).reply, Bytes{0x04});
    EXPECT_EQ(peer.OnPacket(Bytes{0x06}).outcome, Outcome::Complete);
    EXPECT_EQ(peer.GetMode(), CXModemPeer::Mode::Idle);
    // Only a lone ACK is taken; a command is not the transfer's.
    EXPECT_TRUE(peer.IsTransferPacket(Bytes{0x06}));
    EXPECT_EQ(peer.ExpectedLength(Bytes{0x06}), 1);
    EXPECT_FALSE(peer.IsTransferPacket(Bytes{0x80, 0x80}));
    EXPECT_EQ(peer.ExpectedLength(Bytes{0x80}), 0);
    // That ACK was a repetition: the EOT again, then its acknowledgement ends the send again.
    const auto again = peer.OnPacket(Bytes{0x06});
    EXPECT_EQ(again.reply, Bytes{0x04});
    EXPECT_EQ(again.outcome, Outcome::Running);
    EXPECT_EQ(peer.GetMode(), CXModemPeer::Mode::Sending);
    EXPECT_EQ(peer.OnPacket(Bytes{0x06}).outcome, Outcome::Complete);
    // A command in between (the owner cancels) ends it: an ACK then is nobody's.
    peer.Cancel();
    EXPECT_FALSE(peer.IsTransferPacket(Bytes{0x06}));
    EXPECT_TRUE(peer.OnPacket(Bytes{0x06}).reply.empty());
    // The receive side never answers a late ACK.
    peer.StartReceive();
    peer.Cancel();
    EXPECT_FALSE(peer.IsTransferPacket(Bytes{0x06}));
}

TEST(XModemPeerTest, ReceivesBlocksAndAnswersEachAsItDeserves) {
    CXModemPeer peer;
    peer.StartReceive();
    EXPECT_EQ(peer.OnPacket(Block(1, 0x11)).reply, Bytes{0x06});
    Bytes corrupt = Block(2, 0x22);
    corrupt[50] ^= 0x01;
    EXPECT_EQ(peer.OnPacket(corrupt).reply, Bytes{0x15}); // bad sum: send it again
    EXPECT_EQ(peer.OnPacket(Block(2, 0x22)).reply, Bytes{0x06});
    EXPECT_EQ(peer.OnPacket(Block(2, 0x22)).reply, Bytes{0x06}); // a repeat is not stored twice
    const auto end = peer.OnPacket(Bytes{0x04});
    EXPECT_EQ(end.reply, Bytes{0x06});
    EXPECT_EQ(end.outcome, Outcome::Complete);
    Bytes expected(128, 0x11);
    expected.resize(256, 0x22);
    EXPECT_EQ(peer.Received(), expected);
}

TEST(XModemPeerTest, CancelsOnABlockOutOfOrderOrWithABadHeader) {
    Bytes badHeader = Block(1, 0);
    badHeader[2] = 0;
    for (const Bytes& wrong : {Block(3, 0), badHeader}) {
        CXModemPeer peer;
        peer.StartReceive();
        const auto step = peer.OnPacket(wrong);
        EXPECT_EQ(step.reply, Bytes{0x18});
        EXPECT_EQ(step.outcome, Outcome::Cancelled);
    }
}

TEST(XModemPeerTest, BlockNumbersWrapAfter255) {
    CXModemPeer sender;
    CXModemPeer receiver;
    Bytes data(300 * 128);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = std::uint8_t(i / 128);
    }
    sender.StartSend(data);
    receiver.StartReceive();
    auto step = sender.OnPacket(Bytes{'C'});
    while (step.outcome == Outcome::Running) {
        const auto answer = receiver.OnPacket(step.reply);
        ASSERT_NE(answer.outcome, Outcome::Cancelled);
        if (answer.outcome == Outcome::Complete) {
            break;
        }
        step = sender.OnPacket(answer.reply);
    }
    EXPECT_EQ(receiver.Received(), data);
}

} // namespace
