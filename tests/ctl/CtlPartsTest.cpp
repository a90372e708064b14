#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ctl/CCtlOptions.h"
#include "ctl/CLedState.h"
#include "ctl/CLinkFailureText.h"
#include "ctl/CMeterView.h"
#include "link/LinkPacket.h"

namespace {

TEST(CtlOptionsTest, NumbersAreDecimalOrHexadecimal) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"0", true, 0},    {"255", true, 255}, {"0x1F", true, 31}, {"0XfF", true, 255},
        {"010", true, 10}, {"256", false, 0},  {"-1", false, 0},   {"0x", false, 0},
        {"12a", false, 0}, {"", false, 0},     {" 5", false, 0},   {"0x100", false, 0},
    };
    for (const auto& c : cases) {
        int value = -1;
        EXPECT_EQ(CCtlOptions::ParseNumber(c.text, 0, 255, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(CtlOptionsTest, ConnectionAndOptionsAnywhereCommandArgumentsInOrder) {
    std::string error;
    const auto o = CCtlOptions::Parse({"--host", "localhost", "write", "--port", "0x4b3", "1", "2",
                                       "--log", "3", "4", "--timeout", "250", "--json"},
                                      error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(*o->host, "localhost");
    EXPECT_EQ(*o->port, 1203);
    EXPECT_EQ(o->timeoutMs, 250);
    EXPECT_TRUE(o->log);
    EXPECT_TRUE(o->json);
    EXPECT_FALSE(o->serial);
    EXPECT_EQ(o->command, "write");
    EXPECT_EQ(o->args, (std::vector<std::string>{"1", "2", "3", "4"}));

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--port", "70000", "version"},
        {"--serial", "COM1", "--host", "x", "version"},
        {"--lock", "10000", "version"},
        {"--timeout", "0", "version"},
        {"--bogus", "version"},
        {"version", "--lock"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(CCtlOptions::Parse(args, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(LedStateTest, DecodesTheReplyAsTheMetersDo) {
    ByteString reply = {0x06, 0x82, 3, 0xFF, 8, 0xC5};
    for (int r = 0; r < 8; ++r) {
        reply.push_back(static_cast<std::uint8_t>((r * 5) | ((r % 4) << 6)));
        reply.push_back(static_cast<std::uint8_t>(r == 2 ? 40 : 0));
    }
    reply.insert(reply.end(), {1, 1, 0, 0, 0, 0});
    reply.push_back(Checksum(reply));
    ASSERT_EQ(reply.size(), 29u);
    const CLedState state(reply);
    EXPECT_EQ(state.tr, 3);
    EXPECT_EQ(state.dp, 255);
    EXPECT_EQ(state.def, 8);
    EXPECT_EQ(state.current, 5);
    EXPECT_TRUE(state.compare);
    EXPECT_TRUE(state.change);
    EXPECT_EQ(state.rows[3].lit, 15);
    EXPECT_EQ(state.rows[3].colour, 3);
    EXPECT_EQ(state.rows[2].peak, 40);
    EXPECT_EQ(state.view, 1);
    EXPECT_EQ(state.bypass, 1);
    const std::string json = state.ToJson().dump();
    EXPECT_NE(json.find("\"current\":5,\"compare\":1,\"change\":1"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"lit\":15,\"colour\":3,\"peak\":0}"), std::string::npos);
    EXPECT_NE(json.find("\"raw\":\"068203ff08c5"), std::string::npos);
    EXPECT_EQ(state.Summary(), "preset U6: (comparing: side B, the preset as loaded)\n"
                               "meters input/output, BYPASS\n"
                               "markers TR U4:  DP -  DEF F1:\n"
                               "levels 0 5 10 15 20 25 30 35");

    // A short reply reads as zeros beyond its end.
    const CLedState shortState(ByteString{0x06, 0x82, 1});
    EXPECT_EQ(shortState.tr, 1);
    EXPECT_EQ(shortState.bypass, 0);
}

TEST(MeterViewTest, DrawsLitSegmentsAndThePeakMark) {
    ByteString reply(29, 0);
    reply[6] = 0; // row 0: nothing lit, peak at segment 5
    reply[7] = 5;
    reply[8] = 63; // row 1: all lit
    reply[10] = 4; // row 2: four lit, no peak
    const std::string frame = CMeterView(false).Frame(CLedState(reply));
    EXPECT_NE(frame.find("ROW_0 |.....|..........................| 0\n"), std::string::npos)
        << frame;
    EXPECT_NE(frame.find("ROW_1 |" + std::string(32, '#') + "| 63\n"), std::string::npos);
    EXPECT_NE(frame.find("ROW_2 |####" + std::string(28, '.') + "| 4\n"), std::string::npos);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), '\n'), CMeterView::FrameLines());
    EXPECT_EQ(frame.find('\x1b'), std::string::npos);
}

TEST(MeterViewTest, NoAnswerFrameTakesTheMetersPlace) {
    const std::string frame = CMeterView(true).NoAnswer("127.0.0.1:1203");
    EXPECT_EQ(frame.rfind("no answer from 127.0.0.1:1203 - waiting\x1b[K\n", 0), 0u) << frame;
    // As high as a frame, each line erased, so the rewind lands where the meters began.
    EXPECT_EQ(std::count(frame.begin(), frame.end(), '\n'), CMeterView::FrameLines());
    EXPECT_EQ(frame.size() - frame.find('\n') - 1,
              static_cast<std::size_t>(CMeterView::FrameLines() - 1) * 4);
}

TEST(LinkFailureTextTest, NamesTheCauseInTheOperatorsWords) {
    const std::pair<int, const char*> cases[] = {
        {EBUSY, "device busy"},
        {EWOULDBLOCK, "device busy"},
        {ENOENT, "no such device"},
        {ENXIO, "no such device"},
        {ENOTTY, "not a serial device"},
        {ECONNREFUSED, "connection refused"},
        {EACCES, "permission denied"},
        {EHOSTUNREACH, "host unreachable"},
        {EIO, "input/output error"},
        {0, ""},
        {-1, ""},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(CLinkFailureText::FromCode(code), text) << code;
    }
}

} // namespace
