#include <random>
#include <ostream>
#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include "app/CLedPanel.h"
#include "widgets/SkinFixture.h"

namespace {

// Seven segment images in colours of their own; "led3" is smaller than "led4", so a copy at
// the size of "led3" shows only part of "led4".
const QColor kLed[7] = {QColor(40, 40, 40),   QColor(0, 200, 0),   QColor(230, 210, 0),
                        QColor(220, 0, 0),    QColor(0, 200, 220), QColor(240, 140, 0),
                        QColor(230, 240, 255)};
const int kLedSize[7] = {10, 10, 8, 10, 10, 10, 10};
const QColor kBackground(10, 20, 30);
const QColor kBackgroundAgc(60, 10, 70);
const QColor kBackgroundIo(10, 70, 60);

class LedPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string script = R"(
IMAGE(Leds::background, "bk.bmp")
IMAGE(Leds::background_agc, "agc.bmp")
IMAGE(Leds::background_io, "io.bmp")
LONG(Leds::offset_left, 7)
LONG(Leds::offset_top, 9)
LONG(Leds::width, 400)
LONG(Leds::height, 120)
)";
        skin.Image("bk.bmp", Filled(400, 120, kBackground));
        skin.Image("agc.bmp", Filled(400, 120, kBackgroundAgc));
        skin.Image("io.bmp", Filled(400, 120, kBackgroundIo));
        for (int i = 0; i < 7; ++i) {
            const std::string file = "led" + std::to_string(i + 1) + ".bmp";
            skin.Image(file, Filled(kLedSize[i], kLedSize[i], kLed[i]));
            script += "IMAGE(Leds::led" + std::to_string(i + 1) + ", \"" + file + "\")\n";
        }
        ASSERT_TRUE(skin.Load(script));
        parent.resize(500, 200);
        panel.Create(&parent);
    }

    // The image a segment shows, by the colour at its top-left corner: '1' .. '7' for
    // "led1" .. "led7", '.' for the background, '?' for anything else.
    static char SegmentAt(const QImage& grab, int row, int segment) {
        const QColor colour = grab.pixelColor(12 * segment + 1, 19 + 12 * row + 1);
        for (int i = 0; i < 7; ++i) {
            if (colour == kLed[i]) {
                return static_cast<char>('1' + i);
            }
        }
        return colour == kBackground ? '.' : '?';
    }

    static std::string Row(const QImage& grab, int row) {
        std::string shown;
        for (int s = 0; s < 32; ++s) {
            shown += SegmentAt(grab, row, s);
        }
        return shown;
    }

    // A 29-byte LED state reply with row r's two bytes set.
    static ByteString Reply(int row, std::uint8_t first, std::uint8_t peak) {
        ByteString reply(29, 0);
        reply[0] = 0x06;
        reply[1] = 0x82;
        reply[static_cast<std::size_t>(6 + 2 * row)] = first;
        reply[static_cast<std::size_t>(7 + 2 * row)] = peak;
        return reply;
    }

    SkinFixture skin;
    QWidget parent;
    CLedPanel panel{&skin.manager};
};

const std::string kDark(32, '1');
const std::string kNone(32, '.');

struct RowCase {
    const char* name;
    int row;
    std::uint8_t first; // colour code in bits 6-7, lit count in bits 0-5
    std::uint8_t peak;
    std::string shown;
};

// Cases print by name.
void PrintTo(const RowCase& c, std::ostream* out) {
    *out << c.name;
}

class LedRowTest : public LedPanelTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(LedRowTest, SegmentsShowTheRowsLevelPeakAndColour) {
    const RowCase& c = GetParam();
    panel.SetProcessorType(3);
    panel.SetData(Reply(c.row, c.first, c.peak));
    const QImage grab = panel.grab().toImage();
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(Row(grab, r), r == c.row ? c.shown : kDark) << "row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LedRowTest,
    ::testing::Values(
        RowCase{"PeakAloneLightsTheSixth", 0, 0x80 | 0, 5, "11111211111111111111111111111111"},
        RowCase{"SixtyThreeLightsAll", 2, 0x80 | 63, 0, std::string(32, '2')},
        RowCase{"ThirtyTwoLightsAll", 2, 0x80 | 32, 0, std::string(32, '2')},
        RowCase{"LevelAndPeak", 5, 0x80 | 3, 9, "22211111121111111111111111111111"},
        RowCase{"PeakZeroIsNoMark", 1, 0x80 | 2, 0, "22111111111111111111111111111111"},
        RowCase{"PeakInsideLevel", 1, 0x80 | 4, 2, "22221111111111111111111111111111"},
        RowCase{"PeakBeyondTheRow", 1, 0x80 | 1, 40, "21111111111111111111111111111111"},
        RowCase{"ColourOneIsLed3", 7, 0x40 | 4, 0, "33331111111111111111111111111111"},
        RowCase{"ColourThreeIsLed4", 7, 0xC0 | 4, 0, "44441111111111111111111111111111"},
        RowCase{"ColourZeroRowZeroIsLed1", 0, 4, 0, kDark},
        RowCase{"ColourZeroRowOneIsLed3", 1, 4, 0, "33331111111111111111111111111111"},
        RowCase{"ColourZeroRowTwoIsLed5", 2, 4, 0, "55551111111111111111111111111111"},
        RowCase{"ColourZeroRowThreeIsLed7", 3, 4, 0, "77771111111111111111111111111111"},
        RowCase{"ColourZeroRowFourShowsNothing", 4, 4, 7, "....111.111111111111111111111111"},
        RowCase{"ColourZeroRowSevenShowsNothing", 7, 2, 0, "..111111111111111111111111111111"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LedPanelTest, ColourThreeIsCopiedAtTheSizeOfLed3) {
    panel.SetProcessorType(3);
    panel.SetData(Reply(0, 0xC0 | 1, 0));
    const QImage grab = panel.grab().toImage();
    // "led4" is 10 pixels square, "led3" 8: the copy stops after 8 columns and rows.
    EXPECT_EQ(grab.pixelColor(7, 19 + 7), kLed[3]);
    EXPECT_EQ(grab.pixelColor(8, 19 + 1), kBackground);
    EXPECT_EQ(grab.pixelColor(1, 19 + 8), kBackground);
    // An unlit segment is a whole "led1".
    EXPECT_EQ(grab.pixelColor(12 + 9, 19 + 9), kLed[0]);
}

TEST_F(LedPanelTest, WithoutDataEverySegmentIsUnlit) {
    panel.SetProcessorType(3);
    const QImage fresh = panel.grab().toImage();
    panel.SetData(Reply(4, 0x80 | 63, 0));
    panel.Clear();
    const QImage cleared = panel.grab().toImage();
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(Row(fresh, r), kDark) << "row " << r;
        EXPECT_EQ(Row(cleared, r), kDark) << "row " << r;
    }
    EXPECT_FALSE(panel.HasData());
    EXPECT_EQ(panel.ProcessorType(), 3);
}

TEST_F(LedPanelTest, TypeZeroDrawsOnlyTheBackground) {
    panel.SetData(Reply(0, 0x80 | 63, 0));
    const QImage grab = panel.grab().toImage();
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(Row(grab, r), kNone) << "row " << r;
    }
}

TEST_F(LedPanelTest, PlacedByItsKeysWithTheMeterViewBackground) {
    EXPECT_EQ(panel.geometry(), QRect(7, 9, 400, 120));
    EXPECT_EQ(CLedPanel::kControlId, 1023u);
    panel.SetProcessorType(3);
    EXPECT_EQ(panel.grab().toImage().pixelColor(11, 0), kBackground);
    panel.SetBackground("background_io");
    EXPECT_EQ(panel.grab().toImage().pixelColor(11, 0), kBackgroundIo);
    panel.SetBackground("background_agc");
    panel.Clear();
    const QImage grab = panel.grab().toImage();
    // Offline the dark matrix stays on the last meter view.
    EXPECT_EQ(grab.pixelColor(11, 0), kBackgroundAgc);
    EXPECT_EQ(Row(grab, 3), kDark);
    EXPECT_EQ(panel.BackgroundKey(), "background_agc");
}

TEST_F(LedPanelTest, KeepsTwentyNineBytesAndAZero) {
    ByteString longer(40, 0xFF);
    panel.SetData(longer);
    EXPECT_TRUE(panel.HasData());
    for (std::size_t i = 0; i < 29; ++i) {
        EXPECT_EQ(panel.State()[i], 0xFF) << i;
    }
    EXPECT_EQ(panel.State()[29], 0);
    panel.SetData(ByteString{0x06, 0x82, 1, 2});
    EXPECT_EQ(panel.State()[3], 2);
    EXPECT_EQ(panel.State()[4], 0);
    EXPECT_EQ(panel.State()[28], 0);
}

TEST_F(LedPanelTest, ShortRepliesReadMissingBytesAsZero) {
    panel.SetProcessorType(3);
    // Row 0's level byte is there, its peak byte is not.
    panel.SetData(ByteString{0x06, 0x82, 0, 0, 0, 0, 0x80 | 3});
    const QImage grab = panel.grab().toImage();
    EXPECT_EQ(Row(grab, 0), "22211111111111111111111111111111");
    EXPECT_EQ(Row(grab, 1), kDark);
}

TEST_F(LedPanelTest, AnyBytesAndAnyTypePaintWithoutHarm) {
    std::mt19937 random(12);
    for (int round = 0; round < 300; ++round) {
        ByteString bytes(random() % 80);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        panel.SetProcessorType(static_cast<std::uint8_t>(round < 256 ? round : random()));
        panel.SetData(bytes);
        const QImage& frame = panel.RenderFrame();
        ASSERT_EQ(frame.size(), QSize(400, 120));
    }
    // Every layout keeps to the panel: a full-scale state draws inside it.
    for (int type = 1; type <= 10; ++type) {
        panel.SetProcessorType(static_cast<std::uint8_t>(type));
        panel.SetData(ByteString(29, 0xFF));
        EXPECT_FALSE(panel.grab().toImage().isNull());
    }
}

// The shipped skin's segments: lit and unlit look different, and every lit colour of a
// type-3 row is an image of its own.
TEST(LedPanelShippedSkinTest, LitSegmentsStandOutOfTheDarkMatrix) {
    const std::string shipped(SOLVEI_SHIPPED_SKIN);
    RecordingMessageBox messages;
    const std::size_t slash = shipped.rfind('/');
    CSkinManager manager(shipped.substr(0, slash), std::string(), messages);
    ASSERT_TRUE(manager.ChangeSkin(shipped.substr(slash + 1)));
    QWidget parent;
    parent.resize(940, 612);
    CLedPanel panel(&manager);
    panel.Create(&parent);
    ASSERT_EQ(panel.size(), QSize(460, 132));
    panel.SetProcessorType(3);
    ByteString reply(29, 0);
    reply[6] = 0x80 | 10;  // row 0: green
    reply[8] = 0x40 | 10;  // row 1: yellow
    reply[10] = 0xC0 | 10; // row 2: red
    panel.SetData(reply);
    const QImage grab = panel.grab().toImage();
    const auto centre = [&](int row, int segment) {
        return grab.pixelColor(12 * segment + 5, 19 + 12 * row + 5);
    };
    const QColor dark = centre(0, 20);
    EXPECT_EQ(centre(7, 0), dark);
    EXPECT_NE(centre(0, 0), dark);
    EXPECT_NE(centre(1, 0), dark);
    EXPECT_NE(centre(2, 0), dark);
    EXPECT_NE(centre(0, 0), centre(1, 0));
    EXPECT_NE(centre(1, 0), centre(2, 0));
}

} // namespace
