#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

// Small drawing helpers shared by every piece of artwork.
namespace art {

// The scale canvases are made at: 1 for the skin's images, 2 for their twins of twice the
// size. Drawing code keeps its geometry in the images' own (logical) pixels; the canvas
// carries the ratio, so text, curves and lines come out drawn at the finer grid.
double Scale();
// Sets the scale for its lifetime.
class ScaleScope {
public:
    explicit ScaleScope(double scale);
    ~ScaleScope();
    ScaleScope(const ScaleScope&) = delete;
    ScaleScope& operator=(const ScaleScope&) = delete;

private:
    double previous_;
};

// A 24-bit canvas of w x h logical pixels filled with one colour, at the current scale.
QImage Canvas(int w, int h, const QColor& fill);
// The same with an alpha channel, fully transparent.
QImage ClearCanvas(int w, int h);
// An image's extent in logical pixels.
QRect Bounds(const QImage& image);
// Logical rectangle r of image as a canvas of its own (the same scale).
QImage Cut(const QImage& image, const QRect& r);
// A DejaVu face at a pixel size.
QFont Font(const QString& family, int pixelSize, bool bold = false, double spacing = 0);
// Mixes b into a by t (0 = a, 1 = b).
QColor Mix(const QColor& a, const QColor& b, double t);
// A rounded rectangle path on pixel edges.
QPainterPath Rounded(const QRectF& r, double radius);
// Sets every device pixel whose centre lies outside shape (logical coordinates) to the mask
// colour, so the region the skin cuts with that colour follows the shape exactly.
void MaskOutside(QImage& image, const QPainterPath& shape, const QColor& mask);
// A recessed well: dark fill, a shadow line at the top and left, a light line at the bottom.
void Recess(QPainter& p, const QRectF& r, double radius, const QColor& fill);
// Raised plate with a light top edge and a dark bottom edge.
void Plate(QPainter& p, const QRectF& r, double radius, const QColor& top, const QColor& bottom);
// Text in a rectangle; flags are Qt alignment flags.
void Text(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& font,
          const QColor& colour);
// Engraved label: text with a one-pixel dark shadow below it.
void Engraved(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& font,
              const QColor& colour);
// A screw head seen from the front.
void Screw(QPainter& p, const QPointF& centre, double radius);
// Sets the device pixels of the logical rectangle r to one colour.
void SetPixels(QImage& image, const QRect& r, const QColor& colour);
// Faint horizontal brushing over a rectangle; deterministic so the images reproduce.
void Brush(QPainter& p, const QRect& r, unsigned seed, int strength);

} // namespace art
