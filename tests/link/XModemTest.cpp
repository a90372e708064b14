#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/CXModem.h"

namespace {

// Records what the transfer hands out.
class RecordingXModem : public CXModem {
public:
    std::vector<ByteString> sent;
    std::vector<std::string> logs;
    int completions = 0;

protected:
    void SendRaw(const ByteString& bytes) override { sent.push_back(bytes); }
    void OnTransferComplete() override { ++completions; }
    void LogError(const std::string& text) override { logs.push_back("XModem error: " + text); }
    void Log(const std::string& text) override { logs.push_back(text); }
};

ByteString Pattern(std::size_t n) {
    ByteString data(n);
    for (std::size_t i = 0; i < n; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return data;
}

ByteString Block(std::uint8_t number, const ByteString& data) {
    ByteString block{0x01, number, static_cast<std::uint8_t>(0xFF - number)};
    block.insert(block.end(), data.begin(), data.end());
    block.resize(131, 0x00);
    unsigned sum = 0;
    for (std::uint8_t b : block) {
        sum += b;
    }
    block.push_back(static_cast<std::uint8_t>(sum));
    return block;
}

const ByteString kAckByte{0x06};
const ByteString kNakByte{0x15};
const ByteString kEotByte{0x04};
const ByteString kCanByte{0x18};

TEST(XModemSend, SplitsDataIntoPaddedBlocksThenEot) {
    struct Case {
        std::size_t size;
        std::size_t blocks;
    };
    for (const Case c : {Case{300, 3}, Case{128, 1}, Case{0, 0}, Case{129, 2}}) {
        SCOPED_TRACE(c.size);
        RecordingXModem x;
        const ByteString data = Pattern(c.size);
        x.StartSend(data);
        EXPECT_TRUE(x.IsActive());
        for (std::size_t i = 1; i <= c.blocks; ++i) {
            ASSERT_EQ(x.sent.size(), i);
            const std::size_t from = (i - 1) * 128;
            const std::size_t to = std::min(c.size, from + 128);
            EXPECT_EQ(x.sent.back(), Block(static_cast<std::uint8_t>(i),
                                           ByteString(data.begin() + from, data.begin() + to)));
            EXPECT_TRUE(x.OnData(kAckByte));
        }
        ASSERT_EQ(x.sent.size(), c.blocks + 1);
        EXPECT_EQ(x.sent.back(), kEotByte);
        EXPECT_EQ(x.completions, 0);
        EXPECT_TRUE(x.OnData(kAckByte));
        EXPECT_EQ(x.completions, 1);
        EXPECT_FALSE(x.IsActive());
        EXPECT_FALSE(x.WasCancelled());
        EXPECT_EQ(x.Data(), data);
    }
}

TEST(XModemSend, NakAsksForARepeatAndOtherBytesEndTheTransfer) {
    RecordingXModem x;
    x.StartSend(Pattern(200));
    EXPECT_FALSE(x.OnData(kNakByte));
    EXPECT_EQ(x.sent.size(), 1u);
    EXPECT_EQ(x.logs.back(), "XModem error: NACK");
    EXPECT_TRUE(x.OnData({}));
    EXPECT_TRUE(x.OnData(ByteString{'C'}));
    EXPECT_EQ(x.sent.size(), 2u);
    EXPECT_TRUE(x.OnData(ByteString{0x42}));
    EXPECT_EQ(x.logs.back(), "XModem error: Unknown Package");
    EXPECT_EQ(x.completions, 1);
    EXPECT_FALSE(x.IsActive());
    EXPECT_TRUE(x.WasCancelled());
    // A new transfer starts with a clean slate.
    x.StartSend(Pattern(1));
    EXPECT_FALSE(x.WasCancelled());
}

TEST(XModemSend, LoneNakAndStartAreCompleteRepliesOnlyWhileSending) {
    RecordingXModem x;
    x.StartSend(Pattern(10));
    EXPECT_EQ(x.ExpectedLength(kNakByte), 1);
    EXPECT_EQ(x.ExpectedLength(ByteString{'C'}), 1);
    RecordingXModem r;
    r.StartReceive();
    EXPECT_EQ(r.ExpectedLength(kNakByte), -1);
    EXPECT_EQ(r.ExpectedLength(ByteString{'C'}), -1);
}

TEST(XModem, CompletionRule) {
    RecordingXModem x;
    x.StartReceive();
    struct Case {
        ByteString bytes;
        int expected;
    };
    const std::vector<Case> cases = {
        {{}, -1},
        {kEotByte, 1},
        {kCanByte, 1},
        {ByteString{0x04, 0x01}, 1},
        {kAckByte, 1},
        {ByteString{0x01}, -1},
        {ByteString(131, 0x01), -1},
        {ByteString(132, 0x01), 132},
        {ByteString(140, 0x06), 140},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(x.ExpectedLength(cases[i].bytes), cases[i].expected) << i;
    }
}

TEST(XModemReceive, AcceptsBlocksInOrderAndEndsAfterEot) {
    RecordingXModem x;
    x.StartReceive();
    ASSERT_EQ(x.sent, std::vector<ByteString>{ByteString{'C'}});
    const ByteString data = Pattern(256);
    // A block may arrive in pieces.
    const ByteString first = Block(1, ByteString(data.begin(), data.begin() + 128));
    EXPECT_TRUE(x.OnData(ByteString(first.begin(), first.begin() + 50)));
    EXPECT_EQ(x.sent.size(), 1u);
    EXPECT_TRUE(x.OnData(ByteString(first.begin() + 50, first.end())));
    EXPECT_EQ(x.sent.back(), kAckByte);
    EXPECT_TRUE(x.OnData(Block(2, ByteString(data.begin() + 128, data.end()))));
    EXPECT_EQ(x.sent.back(), kAckByte);
    EXPECT_TRUE(x.OnData(kEotByte));
    EXPECT_EQ(x.sent.back(), kAckByte);
    EXPECT_TRUE(x.IsFinishing());
    x.End();
    EXPECT_EQ(x.completions, 1);
    EXPECT_FALSE(x.WasCancelled());
    EXPECT_EQ(x.Data(), data);
}

TEST(XModemReceive, BadChecksumIsRefusedAndTheResentBlockAccepted) {
    RecordingXModem x;
    x.StartReceive();
    ByteString bad = Block(1, Pattern(128));
    bad[131] ^= 0x01;
    EXPECT_TRUE(x.OnData(bad));
    EXPECT_EQ(x.sent.back(), kNakByte);
    EXPECT_EQ(x.logs.back(), "XModem error: Incorrect CRC");
    EXPECT_TRUE(x.Data().empty());
    EXPECT_TRUE(x.OnData(Block(1, Pattern(128))));
    EXPECT_EQ(x.sent.back(), kAckByte);
    EXPECT_EQ(x.Data(), Pattern(128));
}

TEST(XModemReceive, WrongHeaderOrNumberCancels) {
    struct Case {
        const char* name;
        ByteString second;
    };
    ByteString badComplement = Block(2, Pattern(5));
    badComplement[2] = 0x00;
    ByteString badSoh = Block(2, Pattern(5));
    badSoh[0] = 0x02;
    for (const Case& c : {Case{"repeated number", Block(1, Pattern(5))},
                          Case{"skipped number", Block(3, Pattern(5))},
                          Case{"bad complement", badComplement}, Case{"bad start", badSoh}}) {
        SCOPED_TRACE(c.name);
        RecordingXModem x;
        x.StartReceive();
        EXPECT_TRUE(x.OnData(Block(1, Pattern(5))));
        EXPECT_TRUE(x.OnData(c.second));
        EXPECT_EQ(x.sent.back(), kCanByte);
        EXPECT_EQ(x.logs.back(), "Cancel Transmission");
        EXPECT_TRUE(x.IsFinishing());
        EXPECT_TRUE(x.WasCancelled());
        EXPECT_EQ(x.Data().size(), 128u);
    }
}

TEST(XModemReceive, BlockNumbersWrapAfter255) {
    RecordingXModem x;
    x.StartReceive();
    for (int i = 1; i <= 257; ++i) {
        ASSERT_TRUE(x.OnData(Block(static_cast<std::uint8_t>(i & 0xFF), Pattern(128))));
        ASSERT_EQ(x.sent.back(), kAckByte) << i;
    }
    EXPECT_EQ(x.Data().size(), 257u * 128u);
}

TEST(XModemReceive, SenderCancelEndsWithWhatArrived) {
    RecordingXModem x;
    x.StartReceive();
    EXPECT_TRUE(x.OnData(Block(1, Pattern(128))));
    EXPECT_TRUE(x.OnData(kCanByte));
    EXPECT_EQ(x.logs.back(), "Transmission Cancelled.");
    EXPECT_EQ(x.completions, 1);
    EXPECT_FALSE(x.IsActive());
    EXPECT_TRUE(x.WasCancelled());
    EXPECT_EQ(x.Data(), Pattern(128));
    x.StartReceive();
    EXPECT_FALSE(x.WasCancelled());
}

} // namespace
