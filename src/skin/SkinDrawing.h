#pragma once

#include <cstdint>

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>

// A skin colour value is red + green * 256 + blue * 65536.
QColor ColorFromSkin(int32_t value);

// The region of every pixel whose colour differs from maskColour (a skin colour value),
// built from one rectangle per horizontal run of such pixels.
QRegion CreateRegionFromBitmap(const QImage& bitmap, int32_t maskColour);

// Draws source into an image of the target size so that only the column at resize.x() and
// the row at resize.y() stretch; the four quadrants around them are copied unchanged.
QImage StretchByResizeLines(const QImage& source, QPoint resize, QSize target);

// What a twin's pixels of the mask colour become where the image of normal size is inside its
// shape. A shape (a window's mask, a clip) is cut in logical pixels from the normal image, so
// the twin's finer cut-out falls inside it along the edges.
enum class TwinCutOut {
    None,        // the twin is painted as it is: nothing is cut from this picture
    Transparent, // what lies beneath shows there, as a finer edge (a control over its window)
    FromImage,   // the normal image's pixel (a window: nothing lies beneath it)
};

// The picture to paint of an image stretched to stretched.size() at a screen's device pixel
// ratio. From 1.5 on, given a twin of exactly twice the image's size: the twin stretched to
// twice the size (its resize lines at twice their place), with a device pixel ratio of 2 so
// it paints at the same logical size, and at another ratio than 2 brought smoothly to the
// screen's own pixels; otherwise stretched itself. image: the normal image
// before stretching, to check the twin's size.
QImage ArtForRatio(const QImage& image, const QImage& stretched, const QImage* twin, QPoint resize,
                   double ratio, int32_t maskColour, TwinCutOut cutOut);
