#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/LinkPacket.h"
#include "sim/CProcessor.h"
#include "sim/CSimDescription.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes Packet(Bytes bytes) {
    bytes.push_back(Checksum(bytes));
    return bytes;
}

class ProcessorTest : public ::testing::Test {
protected:
    ProcessorTest() : processor(MakeConfig(), start) {}

    static CProcessor::Config MakeConfig() {
        std::string error;
        CProcessor::Config config;
        config.description = *CSimDescription::Builtin(error);
        config.parameters = CSimDescription::Catalog(config.description);
        config.secondsOfDayAtStart = 12 * 3600;
        return config;
    }

    Bytes Send(const Bytes& request, std::chrono::milliseconds at = 0ms) {
        return processor.Handle(request, start + at);
    }

    // Plays the application's side of a transfer the processor sends: "C", then ACK per
    // block, then ACK of the EOT.
    Bytes Receive() {
        Bytes data;
        Bytes reply = Send({'C'});
        while (reply.size() == 132) {
            EXPECT_TRUE(ChecksumOk(reply));
            data.insert(data.end(), reply.begin() + 3, reply.begin() + 131);
            reply = Send({0x06});
        }
        EXPECT_EQ(reply, Bytes{0x04});
        EXPECT_TRUE(Send({0x06}).empty());
        EXPECT_FALSE(processor.InTransfer());
        return data;
    }

    // Plays the application's side of a transfer to the processor: blocks at once, then EOT.
    void Transmit(const Bytes& data) {
        for (std::size_t at = 0, number = 1; at < data.size(); at += 128, ++number) {
            Bytes block{0x01, std::uint8_t(number), std::uint8_t(0xFF - number)};
            block.resize(131, 0);
            std::copy(data.begin() + at, data.begin() + std::min(at + 128, data.size()),
                      block.begin() + 3);
            block.push_back(Checksum(block));
            ASSERT_EQ(Send(block), Bytes{0x06});
        }
        EXPECT_EQ(Send({0x04}), Bytes{0x06});
        EXPECT_FALSE(processor.InTransfer());
    }

    std::uint8_t Read(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
        const Bytes reply = Send(Packet({0x81, a, b, c}));
        EXPECT_EQ(reply.size(), 7u);
        return reply.size() == 7 ? reply[5] : 0;
    }

    std::uint8_t StatusByte() { return processor.LedState(start)[5]; }

    CProcessor::Clock::time_point start = CProcessor::Clock::now();
    CProcessor processor;
};

TEST_F(ProcessorTest, AnswersEveryCommandWithItsReplyLength) {
    struct Case {
        Bytes request;
        std::size_t replyLength;
    };
    const Case cases[] = {
        {Packet({0x80}), 6},    {Packet({0x81, 0, 0, 0}), 7}, {Packet({0x01, 0, 0, 0, 5}), 7},
        {Packet({0x82}), 29},   {Packet({0x84}), 4},          {Packet({0x04, 9}), 4},
        {Packet({0x05, 1}), 4}, {Packet({0x07}), 3},          {Packet({0x08}), 3},
        {Packet({0x0A}), 3},    {Packet({0x0B, 1}), 4},       {BuildRenamePreset(2, "MORNING"), 4},
        {Packet({0x00}), 3},
    };
    for (const auto& c : cases) {
        const Bytes reply = Send(c.request);
        ASSERT_EQ(reply.size(), c.replyLength) << "request code " << int(c.request[0]);
        EXPECT_EQ(reply[0], 0x06);
        EXPECT_EQ(reply[1], c.request[0]);
        EXPECT_TRUE(ChecksumOk(reply));
        EXPECT_EQ(ExpectedReplyLength(reply), int(reply.size()));
    }
}

TEST_F(ProcessorTest, RefusesBrokenAndUnknownRequests) {
    const Bytes cases[] = {
        {0x80, 0x81},               // wrong checksum
        Packet({0x06}),             // unused code
        Packet({0x81, 0, 0}),       // a datagram one byte short
        Packet({0x05, 9}),          // factory presets cannot be overwritten
        Packet({0x04, 200}),        // no such preset
        BuildRenamePreset(12, "X"), // nor renamed
        Packet({0x02, 8}),          // nor replaced
    };
    for (const auto& request : cases) {
        EXPECT_EQ(Send(request), Bytes{0x15}) << "request code " << int(request[0]);
    }
}

TEST_F(ProcessorTest, VersionAndPresetCountComeFromTheConfiguration) {
    EXPECT_EQ(Send(Packet({0x80})), Packet({0x06, 0x80, '1', '2', '3'}));
    EXPECT_EQ(Send(Packet({0x84})), Packet({0x06, 0x84, 16}));
}

TEST_F(ProcessorTest, ParametersReadBackWhatWasWrittenWithinTheirRange) {
    EXPECT_EQ(Send(Packet({0x01, 0, 0, 0, 7})), Packet({0x06, 0x01, 0, 0, 0, 7}));
    EXPECT_EQ(Read(0, 0, 0), 7);
    // AGC Release has three entries: a larger value is held at the last one.
    Send(Packet({0x01, 0, 0, 1, 9}));
    EXPECT_EQ(Read(0, 0, 1), 2);
    // Addresses the description does not name hold nothing.
    Send(Packet({0x01, 9, 9, 9, 5}));
    EXPECT_EQ(Read(9, 9, 9), 0);
}

TEST_F(ProcessorTest, WrongLockCodeGetsNoAnswerAndTheRightOneTheDescription) {
    EXPECT_TRUE(Send(BuildGetConfig(1234)).empty());
    EXPECT_FALSE(processor.InTransfer());
    EXPECT_EQ(Send(BuildGetConfig(7)), Packet({0x06, 0x83}));
    Bytes data = Receive();
    std::string error;
    const Bytes expected = *CSimDescription::Builtin(error);
    ASSERT_GE(data.size(), expected.size());
    EXPECT_TRUE(
        std::all_of(data.begin() + expected.size(), data.end(), [](auto b) { return b == 0; }));
    data.resize(expected.size());
    EXPECT_EQ(data, expected);
}

TEST_F(ProcessorTest, LockTextIsTheRightAlignedNumber) {
    EXPECT_EQ(CProcessor::LockText(7), "   7");
    EXPECT_EQ(CProcessor::LockText(42), "  42");
    EXPECT_EQ(CProcessor::LockText(9999), "9999");
}

TEST_F(ProcessorTest, PresetSentBackComesBackByteForByte) {
    ASSERT_EQ(Send(Packet({0x85, 9})), Packet({0x06, 0x85, 9}));
    const Bytes factory = Receive();
    ASSERT_EQ(Send(Packet({0x02, 3})), Packet({0x06, 0x02, 3}));
    Transmit(factory);
    ASSERT_EQ(Send(Packet({0x85, 3})), Packet({0x06, 0x85, 3}));
    EXPECT_EQ(Receive(), factory);
    EXPECT_EQ(CPresetStore::NameText(processor.Presets().Get(3).name), "ROCK");
}

TEST_F(ProcessorTest, PresetDataThatIsNoPresetLeavesThePresetAlone) {
    const auto before = CPresetStore::Encode(processor.Presets().Get(2));
    ASSERT_EQ(Send(Packet({0x02, 2})), Packet({0x06, 0x02, 2}));
    Bytes junk(40, 0xEE); // announces far more values than it holds
    Transmit(junk);
    EXPECT_EQ(CPresetStore::Encode(processor.Presets().Get(2)), before);
}

TEST_F(ProcessorTest, LoadSaveRenameAndMarkers) {
    // Out of the box F1 is loaded and marked as power-on preset.
    EXPECT_EQ(processor.LedState(start)[4], 8);
    EXPECT_EQ(StatusByte() & 0x3F, 8);

    EXPECT_EQ(Send(Packet({0x04, 10})), Packet({0x06, 0x04, 10}));
    EXPECT_EQ(StatusByte(), 10); // current F3, no change, no compare
    const std::uint8_t drive = Read(0, 0, 0);
    const std::uint8_t edited = drive == 0 ? 1 : drive - 1;
    Send(Packet({0x01, 0, 0, 0, edited}));
    EXPECT_EQ(StatusByte(), 0x80 | 10); // changed

    Send(Packet({0x05, 4}));
    EXPECT_EQ(StatusByte(), 4); // saved into U5, which is now current and unchanged
    Send(BuildRenamePreset(4, "EVENING"));
    EXPECT_EQ(CPresetStore::NameText(processor.Presets().Get(4).name), "EVENING");

    Send(Packet({0x04, 10}));
    EXPECT_EQ(Read(0, 0, 0), drive);
    Send(Packet({0x04, 4}));
    EXPECT_EQ(Read(0, 0, 0), edited);

    // The Power-on Preset item moves the DEF marker; "Off" clears it.
    Send(Packet({0x01, 1, 2, 0, 3}));
    EXPECT_EQ(processor.LedState(start)[4], 2);
    Send(Packet({0x01, 1, 2, 0, 0}));
    EXPECT_EQ(processor.LedState(start)[4], 0xFF);
}

TEST_F(ProcessorTest, CompareSwitchesToTheLoadedValuesAndRevertBack) {
    Send(Packet({0x04, 8}));
    const std::uint8_t loaded = Read(0, 0, 0);
    const std::uint8_t edited = loaded == 0 ? 1 : loaded - 1;
    Send(Packet({0x01, 0, 0, 0, edited}));

    Send(Packet({0x07}));
    EXPECT_EQ(StatusByte(), 0xC0 | 8); // change and compare: side B plays
    EXPECT_EQ(Read(0, 0, 0), loaded);
    Send(Packet({0x08}));
    EXPECT_EQ(StatusByte(), 0x80 | 8);
    EXPECT_EQ(Read(0, 0, 0), edited);

    // Without changes there is nothing to compare.
    Send(Packet({0x04, 8}));
    Send(Packet({0x07}));
    EXPECT_EQ(StatusByte(), 8);
}

TEST_F(ProcessorTest, BypassAndMeterViewShowInTheLedState) {
    EXPECT_EQ(Send(Packet({0x0B, 1})), Packet({0x06, 0x0B, 1}));
    EXPECT_EQ(processor.LedState(start)[23], 1);
    EXPECT_EQ(Send(Packet({0x0B, 0})), Packet({0x06, 0x0B, 0}));
    EXPECT_EQ(processor.LedState(start)[23], 0);
    EXPECT_EQ(processor.LedState(start)[22], 0);
    Send(Packet({0x0A}));
    EXPECT_EQ(processor.LedState(start)[22], 1);
    Send(Packet({0x0A}));
    EXPECT_EQ(processor.LedState(start)[22], 0);
}

TEST_F(ProcessorTest, ClockRunsBySelfAndCanBeSet) {
    EXPECT_EQ(Read(5, 0, 0), 12);
    EXPECT_EQ(Read(5, 0, 1), 0);
    const Bytes later = Send(Packet({0x81, 5, 0, 1}), 125s);
    EXPECT_EQ(later[5], 2);
    Send(Packet({0x01, 5, 0, 0, 23}), 125s);
    EXPECT_EQ(Send(Packet({0x81, 5, 0, 0}), 125s)[5], 23);
    EXPECT_EQ(Send(Packet({0x81, 5, 0, 0}), 3725s)[5], 0); // an hour on: past midnight
}

TEST_F(ProcessorTest, ACommandDuringATransferEndsTheTransfer) {
    ASSERT_EQ(Send(BuildGetConfig(7)), Packet({0x06, 0x83}));
    EXPECT_TRUE(processor.InTransfer());
    // The application lost the acknowledgement and asks again.
    EXPECT_EQ(Send(BuildGetConfig(7)), Packet({0x06, 0x83}));
    EXPECT_FALSE(Receive().empty());
}

TEST_F(ProcessorTest, StateSurvivesARestart) {
    Send(Packet({0x01, 0, 0, 0, 3}));
    Send(Packet({0x05, 1}));
    Send(BuildRenamePreset(1, "KEPT"));
    Send(Packet({0x0B, 1}));
    const auto state = processor.SaveState();

    CProcessor restarted(MakeConfig(), start);
    restarted.RestoreState(state);
    EXPECT_EQ(restarted.CurrentPreset(), 1);
    EXPECT_EQ(restarted.Parameters().Read({0, 0, 0}), 3);
    EXPECT_EQ(CPresetStore::NameText(restarted.Presets().Get(1).name), "KEPT");
    EXPECT_EQ(restarted.LedState(start)[23], 1);
}

} // namespace

namespace {

TEST_F(ProcessorTest, DaypartPresetLoadsWhenTheClockPassesItsStart) {
    Send(Packet({0x01, 1, 2, 1, 11})); // Daypart Preset: F3 (item value n is preset n - 1)
    Send(Packet({0x01, 1, 3, 0, 12}));
    Send(Packet({0x01, 1, 3, 1, 1}));            // starts at 12:01; the clock stands at 12:00
    EXPECT_EQ(processor.LedState(start)[3], 10); // DP marker
    Send(Packet({0x80}), 30s);
    EXPECT_EQ(processor.CurrentPreset(), 8);
    Send(Packet({0x80}), 61s);
    EXPECT_EQ(processor.CurrentPreset(), 10);
    // Setting the clock back and forth over the start is no passage of time.
    Send(Packet({0x04, 8}), 62s);
    Send(Packet({0x01, 5, 0, 1, 0}), 62s);
    Send(Packet({0x01, 5, 0, 1, 30}), 63s);
    Send(Packet({0x80}), 64s);
    EXPECT_EQ(processor.CurrentPreset(), 8);
}

// The daypart start is a time of day: the clock passing it over midnight counts as well.
struct MidnightCase {
    const char* name;
    int startHour;
    int startMinute;
    int clockSeconds; // the time of day the clock is set to
    int waitSeconds;  // then this much time passes
    bool loads;
};

void PrintTo(const MidnightCase& c, std::ostream* os) {
    *os << c.name;
}

class DaypartAcrossMidnight : public ProcessorTest,
                              public ::testing::WithParamInterface<MidnightCase> {};

TEST_P(DaypartAcrossMidnight, LoadsOnlyWhenTheClockPassesTheStart) {
    const MidnightCase& c = GetParam();
    Send(Packet({0x01, 1, 2, 1, 11})); // Daypart Preset: F3
    Send(Packet({0x01, 1, 3, 0, std::uint8_t(c.startHour)}));
    Send(Packet({0x01, 1, 3, 1, std::uint8_t(c.startMinute)}));
    Send(Packet({0x01, 5, 0, 0, std::uint8_t(c.clockSeconds / 3600)}), 1s);
    Send(Packet({0x01, 5, 0, 1, std::uint8_t(c.clockSeconds / 60 % 60)}), 1s);
    Send(Packet({0x01, 5, 0, 2, std::uint8_t(c.clockSeconds % 60)}), 1s);
    EXPECT_EQ(processor.CurrentPreset(), 8);
    Send(Packet({0x80}), 1s + std::chrono::seconds(c.waitSeconds));
    EXPECT_EQ(processor.CurrentPreset(), c.loads ? 10 : 8);
}

INSTANTIATE_TEST_SUITE_P(
    Clock, DaypartAcrossMidnight,
    ::testing::Values(MidnightCase{"MidnightStartPassed", 0, 0, 86370, 40, true},
                      MidnightCase{"MidnightStartNotYet", 0, 0, 86370, 20, false},
                      MidnightCase{"JustBeforeMidnight", 23, 59, 86330, 20, true},
                      MidnightCase{"AfterMidnightNotYet", 0, 1, 86370, 40, false},
                      MidnightCase{"AfterMidnightPassed", 0, 1, 86370, 100, true},
                      MidnightCase{"NoonIsNotPassedAtMidnight", 12, 0, 86370, 40, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
