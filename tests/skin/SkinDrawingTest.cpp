#include <functional>
#include <string>

#include <QImage>
#include <QRegion>

#include <gtest/gtest.h>

#include "skin/SkinDrawing.h"

namespace {

constexpr int32_t kMagenta = 0x00FF00FF; // skin value of #FF00FF

// An image of the given format whose pixels come from a colour function.
QImage Painted(QImage::Format format, int w, int h, const std::function<QColor(int, int)>& at) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixelColor(x, y, at(x, y));
        }
    }
    if (format == QImage::Format_Indexed8) {
        return image.convertToFormat(
            format, QList<QRgb>{qRgb(255, 0, 255), qRgb(0, 0, 0), qRgb(255, 255, 255)});
    }
    return image.convertToFormat(format);
}

// Formats whose pixels carry no fourth byte of their own (ARGB32 has its own test).
const QImage::Format kFormats[] = {QImage::Format_Indexed8, QImage::Format_RGB16,
                                   QImage::Format_RGB555, QImage::Format_RGB888,
                                   QImage::Format_RGB32};

bool SameArea(const QRegion& a, const QRegion& b) {
    return (a ^ b).isEmpty();
}

TEST(CreateRegionFromBitmap, RunsOfNonMaskPixelsInEveryFormat) {
    // Row 0: all mask; row 1: no mask; row 2: black, mask, mask, white, white (runs 0-1, 3-5).
    const auto pattern = [](int x, int y) -> QColor {
        if (y == 0 || (y == 2 && (x == 1 || x == 2))) {
            return QColor(255, 0, 255);
        }
        return (x % 2 == 0) ? Qt::black : Qt::white;
    };
    QRegion expected;
    expected += QRect(0, 1, 5, 1);
    expected += QRect(0, 2, 1, 1);
    expected += QRect(3, 2, 2, 1);
    for (QImage::Format format : kFormats) {
        SCOPED_TRACE(format);
        const QImage image = Painted(format, 5, 3, pattern);
        ASSERT_EQ(image.format(), format);
        const QRegion region = CreateRegionFromBitmap(image, kMagenta);
        EXPECT_TRUE(SameArea(region, expected));
        EXPECT_EQ(region.rectCount(), 3);

        const QImage allMask = Painted(format, 6, 4, [](int, int) { return QColor(255, 0, 255); });
        EXPECT_TRUE(CreateRegionFromBitmap(allMask, kMagenta).isEmpty());

        const QImage noMask = Painted(format, 6, 4, [](int, int) { return QColor(Qt::black); });
        const QRegion full = CreateRegionFromBitmap(noMask, kMagenta);
        EXPECT_TRUE(SameArea(full, QRegion(0, 0, 6, 4)));
        EXPECT_EQ(full.rectCount(), 4); // one rectangle per row
    }
}

TEST(CreateRegionFromBitmap, ThirtyTwoBitPixelsMatchOnlyWithAZeroFourthByte) {
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0x00FF00FF); // mask colour, fourth byte 0: outside
    image.setPixel(1, 0, 0xFFFF00FF); // mask colour, fourth byte set: inside
    image.setPixel(2, 0, 0x00FF00FF);
    EXPECT_TRUE(SameArea(CreateRegionFromBitmap(image, kMagenta), QRegion(1, 0, 1, 1)));

    const QImage mono = QImage(8, 2, QImage::Format_Mono);
    EXPECT_TRUE(CreateRegionFromBitmap(mono, kMagenta).isEmpty());
    EXPECT_TRUE(CreateRegionFromBitmap(QImage(), kMagenta).isEmpty());
}

TEST(ColorFromSkin, RedGreenBlueBytes) {
    EXPECT_EQ(ColorFromSkin(0x00FF0000), QColor(0, 0, 255));
    EXPECT_EQ(ColorFromSkin(0x00123456), QColor(0x56, 0x34, 0x12));
}

// A source whose every pixel is distinct: red = x, green = y.
QImage Gradient(int w, int h) {
    return Painted(QImage::Format_RGB32, w, h, [](int x, int y) { return QColor(x, y, 7); });
}

TEST(StretchByResizeLines, SameSizeIsAnIdenticalCopy) {
    const QImage source = Gradient(9, 6);
    const QImage result = StretchByResizeLines(source, QPoint(4, 2), QSize(9, 6));
    EXPECT_EQ(result.convertToFormat(QImage::Format_RGB32), source);
}

struct StretchCase {
    QSize target;
    QPoint resize;
};

TEST(StretchByResizeLines, ResizeLinesRepeatAndQuadrantsStay) {
    const QImage source = Gradient(9, 6);
    const StretchCase cases[] = {
        {QSize(19, 6), QPoint(4, 2)}, {QSize(9, 16), QPoint(4, 2)}, {QSize(20, 11), QPoint(0, 5)}};
    for (const StretchCase& c : cases) {
        const QImage result = StretchByResizeLines(source, c.resize, c.target);
        ASSERT_EQ(result.size(), c.target);
        const int dx = c.target.width() - source.width();
        const int dy = c.target.height() - source.height();
        for (int y = 0; y < c.target.height(); ++y) {
            for (int x = 0; x < c.target.width(); ++x) {
                // Which source pixel each target pixel shows.
                const int sx = x <= c.resize.x()       ? x
                               : x < c.resize.x() + dx ? c.resize.x()
                                                       : x - dx;
                const int sy = y <= c.resize.y()       ? y
                               : y < c.resize.y() + dy ? c.resize.y()
                                                       : y - dy;
                ASSERT_EQ(result.pixel(x, y), source.pixel(sx, sy)) << x << "," << y;
            }
        }
    }
    // 10 pixels wider: the resize column shows 11 times in a row.
    const QImage wide = StretchByResizeLines(source, QPoint(4, 2), QSize(19, 6));
    int repeats = 0;
    for (int x = 0; x < wide.width(); ++x) {
        repeats += wide.pixel(x, 0) == source.pixel(4, 0) ? 1 : 0;
    }
    EXPECT_EQ(repeats, 11);
}

TEST(StretchByResizeLines, SmallerTargetLetsRightAndBottomWin) {
    const QImage source = Gradient(9, 6);
    const QImage result = StretchByResizeLines(source, QPoint(4, 2), QSize(5, 3));
    ASSERT_EQ(result.size(), QSize(5, 3));
    // dx = -4: the right quadrant starts at 0 and covers everything.
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(result.pixel(x, y), source.pixel(x + 4, y + 3));
        }
    }
}

// The picture painted on a dense screen comes from the twin, stretched by its own resize lines
// at twice their place; the normal picture stays whenever the twin cannot be used.
TEST(ArtForRatio, TheNormalPictureUnlessDenseWithATwinOfTwiceTheSize) {
    const QImage image = Painted(QImage::Format_RGB32, 3, 1, [](int, int) { return Qt::red; });
    const QImage stretched = StretchByResizeLines(image, QPoint(1, 0), QSize(5, 1));
    const QImage twin = Painted(QImage::Format_RGB32, 6, 2, [](int, int) { return Qt::green; });
    const QImage odd = Painted(QImage::Format_RGB32, 6, 3, [](int, int) { return Qt::green; });
    struct Case {
        const char* name;
        const QImage* twin;
        double ratio;
        bool fromTwin;
    };
    const Case cases[] = {{"no twin", nullptr, 2.0, false},   {"ratio 1", &twin, 1.0, false},
                          {"ratio 1.49", &twin, 1.49, false}, {"ratio 1.5", &twin, 1.5, true},
                          {"ratio 2", &twin, 2.0, true},      {"ratio 3", &twin, 3.0, true},
                          {"odd twin", &odd, 2.0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage art =
            ArtForRatio(image, stretched, c.twin, QPoint(1, 0), c.ratio, kMagenta, TwinCutOut::None);
        EXPECT_NEAR(art.deviceIndependentSize().width(), 5.0, 0.5);
        EXPECT_EQ(art.devicePixelRatio(), c.fromTwin ? c.ratio : 1.0);
        // In the screen's own pixels: nothing is scaled again as it is painted.
        EXPECT_EQ(art.width(), c.fromTwin ? qRound(5 * c.ratio) : 5);
        EXPECT_EQ(art.pixelColor(0, 0), c.fromTwin ? QColor(Qt::green) : QColor(Qt::red));
    }
}

TEST(ArtForRatio, TheTwinsResizeLineIsAtTwiceItsPlace) {
    // Twin columns: A A B B C C, the normal image's resize column 1 is B.
    const QColor a(Qt::red), b(Qt::green), c(Qt::blue);
    const QImage image = Painted(QImage::Format_RGB32, 3, 1, [](int, int) { return Qt::black; });
    const QImage twin = Painted(QImage::Format_RGB32, 6, 2, [&](int x, int) {
        return x < 2 ? a : x < 4 ? b : c;
    });
    const QImage stretched = StretchByResizeLines(image, QPoint(1, -1), QSize(5, 1));
    const QImage art =
        ArtForRatio(image, stretched, &twin, QPoint(1, -1), 2.0, kMagenta, TwinCutOut::None);
    ASSERT_EQ(art.size(), QSize(10, 2));
    const QColor expected[] = {a, a, b, b, b, b, b, b, c, c};
    for (int x = 0; x < 10; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(art.pixelColor(x, 0), expected[x]);
        EXPECT_EQ(art.pixelColor(x, 1), expected[x]);
    }
}

// A shape is cut from the normal image; inside it, the twin's own finer cut-out shows what
// lies beneath (a control) or the normal image's colour (a window), never the mask colour.
TEST(ArtForRatio, TheTwinsCutOutInsideTheShape) {
    // Normal: one white pixel (inside the shape). Twin: its top left quarter is cut.
    const QImage image = Painted(QImage::Format_RGB32, 1, 1, [](int, int) { return Qt::white; });
    const QImage twin = Painted(QImage::Format_RGB32, 2, 2, [](int x, int y) {
        return x == 0 && y == 0 ? QColor(Qt::magenta) : QColor(Qt::gray);
    });
    struct Case {
        TwinCutOut cutOut;
        QColor corner;
    };
    const Case cases[] = {{TwinCutOut::None, QColor(Qt::magenta)},
                          {TwinCutOut::Transparent, QColor(Qt::transparent)},
                          {TwinCutOut::FromImage, QColor(Qt::white)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.cutOut));
        const QImage art = ArtForRatio(image, image, &twin, QPoint(-1, -1), 2.0, kMagenta, c.cutOut);
        ASSERT_EQ(art.size(), QSize(2, 2));
        EXPECT_EQ(art.pixelColor(0, 0).rgba(), c.corner.rgba());
        EXPECT_EQ(art.pixelColor(1, 0), QColor(Qt::gray));
        EXPECT_EQ(art.pixelColor(1, 1), QColor(Qt::gray));
    }
}

} // namespace
