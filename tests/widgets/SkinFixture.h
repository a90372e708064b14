#pragma once

#include <fstream>
#include <string>

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "skin/CSkinManager.h"
#include "skin/SkinTestSupport.h"

// A skin written by the test: a skin.ini text and BMP images in a temporary skin folder,
// loaded through the manager like any other skin. Declare it before the widgets that use it.
class SkinFixture {
public:
    SkinFixture() : manager(dir_.path().toStdString(), std::string(), messages) {}

    // Saves image as a BMP file of the skin named name.
    void Image(const std::string& name, const QImage& image, const std::string& skin = "T") {
        QDir().mkpath(Folder(skin));
        image.convertToFormat(QImage::Format_RGB888)
            .save(Folder(skin) + "/" + QString::fromStdString(name), "BMP");
    }

    // Writes the script as the skin's skin.ini and switches to it.
    bool Load(const std::string& script, const std::string& skin = "T") {
        QDir().mkpath(Folder(skin));
        ScratchWrite(Folder(skin).toStdString() + "/skin.ini", script);
        return manager.ChangeSkin(skin);
    }

    RecordingMessageBox messages;

private:
    QString Folder(const std::string& skin) const {
        return dir_.path() + "/" + QString::fromStdString(skin);
    }
    static void ScratchWrite(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }

    QTemporaryDir dir_;

public:
    CSkinManager manager;
};

// "#RRGGBB" of a colour, as skin scripts write it.
inline std::string Hex(QColor colour) {
    return colour.name(QColor::HexRgb).toUpper().toStdString();
}

inline QImage Filled(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A filled image whose top-left corner x corner pixels are cornerColour.
inline QImage WithCorner(int width, int height, QColor colour, int corner, QColor cornerColour) {
    QImage image = Filled(width, height, colour);
    for (int y = 0; y < corner; ++y) {
        for (int x = 0; x < corner; ++x) {
            image.setPixelColor(x, y, cornerColour);
        }
    }
    return image;
}

// The colour of pixel (x, y) of a widget's grab, in device-independent pixels.
inline QColor PixelAt(const QImage& grab, int x, int y) {
    return grab.pixelColor(x, y);
}

inline const QColor kMagenta(255, 0, 255);

// Sends a plain pointer move to a widget, as the window system does when the pointer is over
// it (the offscreen platform has no pointer of its own).
inline void HoverAt(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

inline void PointerLeaves(QWidget* widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}
