#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// Line icons drawn on keys and in the preset menu. Each draws centred in box, scaled to it.
class GlyphArt {
public:
    static void Minimize(QPainter& p, const QRectF& box, const QColor& ink);
    static void Power(QPainter& p, const QRectF& box, const QColor& ink);
    static void ArrowUp(QPainter& p, const QRectF& box, const QColor& ink);
    static void ArrowDown(QPainter& p, const QRectF& box, const QColor& ink);
    static void PresetLoad(QPainter& p, const QRectF& box, const QColor& ink);
    static void PresetSave(QPainter& p, const QRectF& box, const QColor& ink);
    static void PresetRename(QPainter& p, const QRectF& box, const QColor& ink);
    static void PresetLoadFile(QPainter& p, const QRectF& box, const QColor& ink);
    static void PresetSaveFile(QPainter& p, const QRectF& box, const QColor& ink);
    static void Fader(QPainter& p, const QRectF& box, const QColor& ink, const QColor& cap);
    static void Sun(QPainter& p, const QPointF& centre, double radius, const QColor& ink);
};
