#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QImageReader>
#include <QSize>
#include <QString>

// Every image of the shipped skin has a twin of exactly twice its size, named with "@2x"
// before the extension, for screens of high density.
namespace {

QSize SizeOf(const QString& file) {
    QImageReader reader(file);
    return reader.read().size();
}

TEST(ShippedSkinTwins, EveryImageHasATwinOfTwiceItsSize) {
    const QString folder = QStringLiteral(SOLVEI_SKINS_FOLDER "/Solvei");
    int images = 0;
    QDirIterator it(folder, {"*.bmp", "*.ico"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (file.contains("@2x.")) {
            // A twin without its image is a left-over of a renamed image.
            const QString image = QString(file).replace("@2x.", ".");
            EXPECT_TRUE(QFile::exists(image)) << file.toStdString();
            continue;
        }
        ++images;
        const int dot = static_cast<int>(file.lastIndexOf('.'));
        const QString twin = file.left(dot) + "@2x" + file.mid(dot);
        ASSERT_TRUE(QFile::exists(twin)) << twin.toStdString();
        const QSize size = SizeOf(file);
        ASSERT_FALSE(size.isEmpty()) << file.toStdString();
        EXPECT_EQ(SizeOf(twin), size * 2) << twin.toStdString();
    }
    EXPECT_GT(images, 100);
}

} // namespace
