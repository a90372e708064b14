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
