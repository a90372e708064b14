#include <memory>
#include <string>

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include "skin/CSkin.h"
#include "skin/SkinFileSource.h"
#include "skin/SkinTestSupport.h"

// The skin gives an image's twin of twice the size on screens of 1.5 times the density and
// more, the image itself below that and whenever the skin has no twin.
namespace {

std::string Bitmap(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes.toStdString();
}

class SkinTwins : public testing::Test {
protected:
    SkinTwins() {
        dir.Write("Skin/skin.ini", "IMAGE(Dlg::background, \"Backgrounds\\Bk.bmp\")\n"
                                   "IMAGE(Dlg::plain, \"Plain.bmp\")\n");
        dir.Write("Skin/Backgrounds/Bk.bmp", Bitmap(4, 3, Qt::red));
        dir.Write("Skin/Backgrounds/Bk@2x.bmp", Bitmap(8, 6, Qt::green));
        dir.Write("Skin/Plain.bmp", Bitmap(5, 2, Qt::blue));
        EXPECT_TRUE(skin.Load(dir.File("Skin")));
    }

    ScratchDir dir;
    RecordingMessageBox messages;
    CSkin skin{std::make_shared<SkinFileSource>(""), messages};
};

TEST_F(SkinTwins, TheTwinFromOneAndAHalfTimesTheDensityOn) {
    struct Case {
        double ratio;
        QColor colour;
        double imageRatio;
    };
    const Case cases[] = {{1.0, Qt::red, 1.0},   {1.25, Qt::red, 1.0},  {1.49, Qt::red, 1.0},
                          {1.5, Qt::green, 2.0}, {2.0, Qt::green, 2.0}, {3.0, Qt::green, 2.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio);
        const QImage* image = skin.GetImage("Dlg", "background", 1, c.ratio);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixelColor(0, 0), c.colour);
        EXPECT_EQ(image->devicePixelRatio(), c.imageRatio);
        // Laid out in the image's own pixels whichever is shown.
        EXPECT_EQ(image->deviceIndependentSize(), QSizeF(4, 3));
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(SkinTwins, AnImageWithoutATwinOfTwiceItsSizeIsShownItselfSilently) {
    // "odd" has a twin of another size: laid out in its pixels, the window would move.
    dir.Write("Skin/skin.ini", "IMAGE(Dlg::plain, \"Plain.bmp\")\n"
                               "IMAGE(Dlg::odd, \"Odd.bmp\")\n");
    dir.Write("Skin/Odd.bmp", Bitmap(5, 2, Qt::blue));
    dir.Write("Skin/Odd@2x.bmp", Bitmap(10, 5, Qt::green));
    ASSERT_TRUE(skin.Load(dir.File("Skin")));
    for (const char* name : {"plain", "odd"}) {
        for (const double ratio : {1.0, 1.5, 2.0}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(ratio));
            const QImage* image = skin.GetImage("Dlg", name, 1, ratio);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->size(), QSize(5, 2));
            EXPECT_EQ(image->devicePixelRatio(), 1.0);
        }
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(SkinTwins, TheTwinIsReleasedWithItsImage) {
    ASSERT_NE(skin.GetImage("Dlg", "background", 7, 2.0), nullptr);
    skin.ReleaseUser(7);
    EXPECT_EQ(skin.Images().at("Dlg::background").twin, nullptr);
    // A twin added since is found on the next request.
    dir.Write("Skin/Plain@2x.bmp", Bitmap(10, 4, Qt::yellow));
    ASSERT_NE(skin.GetImage("Dlg", "plain", 7, 1.0), nullptr);
    skin.ReleaseUser(7);
    EXPECT_EQ(skin.GetImage("Dlg", "plain", 7, 2.0)->pixelColor(0, 0), QColor(Qt::yellow));
}

TEST(SkinTwinFile, AtTwoBeforeTheExtension) {
    EXPECT_EQ(CSkin::TwinFile("Buttons\\A_Up.bmp"), "Buttons\\A_Up@2x.bmp");
    EXPECT_EQ(CSkin::TwinFile("tree_icon.ico"), "tree_icon@2x.ico");
    EXPECT_EQ(CSkin::TwinFile("Old.Skin\\Bk"), "Old.Skin\\Bk@2x");
}

} // namespace
