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

// A 24-bit canvas filled with one colour.
QImage Canvas(int w, int h, const QColor& fill);
// A DejaVu face at a pixel size.
QFont Font(const QString& family, int pixelSize, bool bold = false, double spacing = 0);
// Mixes b into a by t (0 = a, 1 = b).
QColor Mix(const QColor& a, const QColor& b, double t);
// A rounded rectangle path on pixel edges.
QPainterPath Rounded(const QRectF& r, double radius);
// Sets every pixel whose centre lies outside shape to the mask colour, so the region the
// skin cuts with that colour follows the shape exactly.
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
// Faint horizontal brushing over a rectangle; deterministic so the images reproduce.
void Brush(QPainter& p, const QRect& r, unsigned seed, int strength);

} // namespace art
