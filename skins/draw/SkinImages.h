#pragma once

#include <map>

#include <QImage>
#include <QString>

// Every image of the shipped skin, keyed by its path inside the skin folder ('/' between
// folders; skin.ini writes the same path with backslashes).
class SkinImages {
public:
    SkinImages();

    // Both sets: the images, and their twins of twice the size under TwinPath.
    [[nodiscard]] const std::map<QString, QImage>& All() const { return images_; }
    // The twin's path: "@2x" before the extension ("Buttons/A_Up@2x.bmp").
    [[nodiscard]] static QString TwinPath(const QString& path);
    // The image at that path; a null image when there is none.
    [[nodiscard]] QImage Get(const QString& path) const;
    // Writes every image (BMP, 24 bits; the tree icon as ICO) below folder. False on the
    // first file that cannot be written, with its path in failedPath.
    bool Write(const QString& folder, QString& failedPath) const;

private:
    void Add(const QString& path, const QImage& image);
    void AddMainKeys(const QImage& background);
    void AddPanelArt();
    void AddControlArt();

    std::map<QString, QImage> images_;
};
