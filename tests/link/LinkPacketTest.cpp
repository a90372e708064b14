#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/LinkPacket.h"

namespace {

struct RequestCase {
    const char* name;
    ByteString packet;
    ByteString expected;
    std::string log;
};

ByteString Bytes(std::initializer_list<int> values) {
    ByteString out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

TEST(LinkPacket, RequestsAreByteExactAndLogTheirLine) {
    const std::vector<RequestCase> cases = {
        {"disconnect", BuildDisconnect(), Bytes({0x00, 0x00}), "Disconnecting."},
        {"read version", BuildReadVersion(), Bytes({0x80, 0x80}), "Read version"},
        {"read leds", BuildReadLeds(), Bytes({0x82, 0x82}), "Read Leds State"},
        {"load preset 3", BuildLoadPreset(3), Bytes({0x04, 0x03, 0x07}), "Load Preset : 03 "},
        {"read 01 02 03", BuildReadParameter(1, 2, 3), Bytes({0x81, 0x01, 0x02, 0x03, 0x87}),
         "Read : 01 - 02 - 03"},
        {"write", BuildWriteParameter(0x10, 0x20, 0xFF, 0xAB),
         Bytes({0x01, 0x10, 0x20, 0xFF, 0xAB, 0xDB}), "Write : 10 - 20 - ff - ab"},
        {"send preset", BuildSendPreset(0x1A), Bytes({0x02, 0x1A, 0x1C}), "Send Preset : 1a "},
        {"send upgrade", BuildSendUpgrade(), Bytes({0x03, 0x03}), "Send Upgrade"},
        {"save preset", BuildSavePreset(0xFF), Bytes({0x05, 0xFF, 0x04}), "Save Preset : ff "},
        {"compare", BuildCompare(), Bytes({0x07, 0x07}), "Send Compare"},
        {"revert", BuildRevert(), Bytes({0x08, 0x08}), "Send Revert"},
        {"meters flip", BuildMetersFlip(), Bytes({0x0A, 0x0A}), "Send Meters Flip"},
        {"bypass", BuildBypassUpdate(1), Bytes({0x0B, 0x01, 0x0C}), "Send Bypass Update : 01 "},
        {"factory preset", BuildGetFactoryPresetNumber(), Bytes({0x84, 0x84}),
         "Get Factory Preset Number"},
        {"get preset", BuildGetPreset(2), Bytes({0x85, 0x02, 0x87}), "Get Preset : 02 "},
        {"lock code 1234", BuildGetConfig(1234), Bytes({0x83, '1', '2', '3', '4', 0x4D}),
         "Get Config. The Lock Code is 1234"},
        {"lock code 42", BuildGetConfig(42), Bytes({0x83, ' ', ' ', '4', '2', 0x29}),
         "Get Config. The Lock Code is   42"},
        {"lock code 7", BuildGetConfig(7), Bytes({0x83, ' ', ' ', ' ', '7', 0x1A}),
         "Get Config. The Lock Code is    7"},
        {"lock code 12345 keeps four", BuildGetConfig(12345),
         Bytes({0x83, '1', '2', '3', '4', 0x4D}), "Get Config. The Lock Code is 1234"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.packet, c.expected);
        EXPECT_EQ(PacketLogText(c.packet), c.log);
        EXPECT_EQ(ExpectedRequestLength(c.packet), static_cast<int>(c.packet.size()));
    }
}

TEST(LinkPacket, RenameCarriesExactlyFifteenNameBytes) {
    const ByteString empty = BuildRenamePreset(4, "");
    ASSERT_EQ(empty.size(), 18u);
    EXPECT_EQ(ByteString(empty.begin() + 2, empty.end() - 1), ByteString(15, 0x00));
    EXPECT_EQ(empty.back(), 0x0D);
    EXPECT_EQ(PacketLogText(empty), "Send Rename for preset # 4");

    const ByteString longName = BuildRenamePreset(200, "ABCDEFGHIJKLMNOPQRST");
    ASSERT_EQ(longName.size(), 18u);
    EXPECT_EQ(std::string(longName.begin() + 2, longName.end() - 1), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(longName.back(), Checksum(longName, 17));
    EXPECT_EQ(PacketLogText(longName), "Send Rename for preset # 200");

    const ByteString shortName = BuildRenamePreset(1, "Rock");
    EXPECT_EQ(ByteString(shortName.begin() + 2, shortName.begin() + 6),
              Bytes({'R', 'o', 'c', 'k'}));
    EXPECT_EQ(ByteString(shortName.begin() + 6, shortName.end() - 1), ByteString(11, 0x00));
}

TEST(LinkPacket, ChecksumAndItsTest) {
    EXPECT_EQ(Checksum(Bytes({0x80, 0x80})), 0x00); // sums to 256
    EXPECT_EQ(Checksum(Bytes({0xFF, 0xFF, 0x03})), 0x01);
    EXPECT_EQ(Checksum(Bytes({0x01, 0x02, 0x03}), 2), 0x03);
    EXPECT_EQ(Checksum(Bytes({0x01}), 5), 0x01);
    EXPECT_EQ(Checksum({}), 0x00);

    EXPECT_TRUE(ChecksumOk({}));
    EXPECT_TRUE(ChecksumOk(Bytes({0x15})));
    EXPECT_TRUE(ChecksumOk(Bytes({0x06, 0x00, 0x06})));
    EXPECT_FALSE(ChecksumOk(Bytes({0x06, 0x00, 0x07})));
    EXPECT_TRUE(ChecksumOk(Bytes({0x06, 0x80, 0x41, 0x42, 0x43, 0x4C})));
}

TEST(LinkPacket, ReplyLengthByEchoedCode) {
    struct Case {
        ByteString bytes;
        int expected;
    };
    ByteString leds28 = Bytes({0x06, 0x82});
    leds28.resize(28, 0x00);
    ByteString leds29 = leds28;
    leds29.push_back(0x88);
    ByteString leds30 = leds29;
    leds30.push_back(0x15);
    const std::vector<Case> cases = {
        {{}, -1},
        {Bytes({0x06}), -1},
        {Bytes({0x15}), 1},
        {Bytes({0x15, 0x15}), 2},
        {Bytes({0x15, 0x06}), 1},
        {Bytes({0x06, 0x00}), -1},
        {Bytes({0x06, 0x00, 0x06}), 3},
        {Bytes({0x99, 0x03, 0x00}), 3}, // the first byte is ProcessReply's business
        {Bytes({0x06, 0x83, 0x89}), 3},
        {Bytes({0x06, 0x01, 0, 0, 0, 0}), -1},
        {Bytes({0x06, 0x01, 0, 0, 0, 0, 7}), 7},
        {Bytes({0x06, 0x81, 0, 0, 0, 0, 7, 9}), 7},
        {Bytes({0x06, 0x02, 1}), -1},
        {Bytes({0x06, 0x02, 1, 2}), 4},
        {Bytes({0x06, 0x03, 0x09}), 3},
        {Bytes({0x06, 0x04, 1, 2}), 4},
        {Bytes({0x06, 0x05, 1, 2}), 4},
        {Bytes({0x06, 0x07, 0x0D}), 3},
        {Bytes({0x06, 0x08, 0x0E}), 3},
        {Bytes({0x06, 0x0A, 0x10}), 3},
        {Bytes({0x06, 0x0B, 1, 2}), 4},
        {Bytes({0x06, 0x84, 1, 2}), 4},
        {Bytes({0x06, 0x85, 1, 2}), 4},
        {Bytes({0x06, 0x09, 1, 2}), 4},
        {Bytes({0x06, 0x80, 1, 2, 3, 4}), 6},
        {Bytes({0x06, 0x06, 0x0C}), -1},
        {Bytes({0x06, 0x0C, 0x0C}), -1},
        {Bytes({0x06, 0x86, 0x0C}), -1},
        {leds28, -1},
        {leds29, 29},
        {leds30, 29},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ExpectedReplyLength(cases[i].bytes), cases[i].expected);
    }
}

TEST(LinkPacket, UnusedCodesAndShortPacketsLogNothing) {
    for (int code : {0x06, 0x0C, 0x15, 0x18, 0x43, 0x7F, 0x86, 0xFF}) {
        EXPECT_EQ(PacketLogText(Bytes({code, 0x00})), "") << code;
    }
    // XModem control bytes share codes with commands but carry no arguments.
    EXPECT_EQ(PacketLogText(Bytes({0x04})), "");
    EXPECT_EQ(PacketLogText(Bytes({0x01})), "");
    EXPECT_EQ(PacketLogText({}), "");
}

} // namespace
